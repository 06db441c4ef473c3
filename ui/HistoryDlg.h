// The history of an entry's settings: its snapshot and every generation,
// newest first, with when and why each was made, what it holds and whether
// it is kept. A generation is brought back, exported, compared with the
// snapshot as a registry file, marked kept, or removed; the long work runs
// as jobs of the main window's runner.
#pragma once
#include <memory>
#include <string>
#include <vector>
#include "framework/Dialog.h"
#include "framework/ListView.h"
#include "launcher/JobRunner.h"
#include "model/ProgramEntry.h"

class CHistoryDlg : public CDialog {
public:
    // The dialog works on a copy of entry's settings and title; runner, the
    // main window's, runs its jobs.
    CHistoryDlg(CWnd* parent, const CProgramEntry& entry, CJobRunner& runner);
    ~CHistoryDlg() override;

    INT_PTR DoModal() override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, HWND control) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // The list anew from the slot's history, the row of generation select
    // (its number) selected.
    void Fill(int select);
    // The selected row's entry of m_history, or NULL.
    const CGeneration* Selected() const;
    std::wstring Describe(const CGeneration& generation) const;
    void OnBringBack();
    void OnExport(bool difference);
    void OnKeep();
    void OnRemove();
    // Runs work as a job; failedId is said when it failed (not when it was
    // stopped); the list is filled anew once it has ended.
    void Run(UINT titleId, bool keepsData, bool cancellable, CJob::Work work, UINT failedId,
             std::shared_ptr<CSettingsFailure> failure = nullptr);

    CSettingsSet m_settings;
    std::string m_strTitle;
    CJobRunner& m_runner;
    CListView m_list;
    std::vector<CGeneration> m_history;
    // Cleared when the dialog goes: a job that ends later fills no list.
    std::shared_ptr<CHistoryDlg*> m_pAlive;
};
