// The Program Manager command texts that publish the group "Cobweld".
//
// Texts taken from an entry go into the commands so that none of them can end
// its field or its command: a title is quoted and loses its double quotes; an
// icon path or directory stays unquoted when the syntax carries it as it is,
// else it is quoted. So a crafted title cannot slip other commands into the
// user's shell.
#pragma once
#include <string>
#include "model/ProgramEntry.h"

extern const char kProgmanGroupName[];     // Cobweld
extern const char kDeleteGroupCommand[];   // [DeleteGroup("Cobweld",0)]
extern const char kCreateGroupCommand[];   // [CreateGroup("Cobweld",0)]

// [AddItem("<launcher>","Cobweld")]
std::string BuildLauncherItemCommand(const std::string& launcherPath);

// [AddItem("<launcher> <index>","<title>",<icon file>,<icon index>,,,<directory>,[,1])]
// with ",1" only for an entry that runs minimized.
std::string BuildEntryItemCommand(const std::string& launcherPath, int index,
                                  const CProgramEntry& entry);

// The text of a quoted argument: a quoted argument runs to the next double
// quote and has no escape, so each '"' becomes '\''.
std::string QuotedArgument(const char* text);

// An unquoted argument ends at , ( ) [ ] and loses blanks at either end; a
// text that needs none of that comes back unchanged, any other comes back
// quoted, without the double quotes that no file path can hold anyway.
// Double-byte characters are kept whole: their trail bytes may equal '[' or ']'.
std::string PositionalArgument(const char* text);
