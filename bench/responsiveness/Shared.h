// Between bench_responsiveness and the program it has the launcher start.
#pragma once

// The entry's settings key, below HKEY_CURRENT_USER\Software.
const char kSettingsName[] = "CobweldBench\\Responsiveness";
// Written by the program into its settings key: its process id, which the
// capture must carry into the snapshot.
const char kLaunchedValue[] = "Launched";
// Set by the program once it runs.
const char kStartedEvent[] = "CobweldBench.Responsiveness.Started";
// Set by the benchmark: the program ends.
const char kEndEvent[] = "CobweldBench.Responsiveness.End";
