// The main window's commands that open a window or write the files keep the
// nudge, and some auto-save too, away while they run.
#pragma once

#include "windows/Main_Unit.h"

// Keeps the nudge (and, when asked, auto-save) suppressed for one scope,
// however the scope ends. At its end the flags are cleared, or with Restore
// set back to what they were.
class TSuppression
{
public:
    enum TWhat
    {
        Nudge,
        NudgeAndAutoSave
    };
    enum TEnd
    {
        Clear,
        Restore
    };

    explicit TSuppression(TMain_Form &form, TWhat what = Nudge, TEnd end = Clear)
        : FForm(form), FAutoSave(what == NudgeAndAutoSave), FEnd(end),
          FNudgeBefore(form.NudgeSuppressed()), FAutoSaveBefore(form.AutoSaveSuppressed())
    {
        // Through the setter, which stops a running nudge sound.
        if (!FNudgeBefore)
            FForm.SetNudgeSuppressed(true);
        if (FAutoSave)
            FForm.SetAutoSaveSuppressed(true);
    }
    ~TSuppression()
    {
        if (FAutoSave)
            FForm.SetAutoSaveSuppressed(FEnd == Restore && FAutoSaveBefore);
        FForm.SetNudgeSuppressed(FEnd == Restore && FNudgeBefore);
    }
    TSuppression(const TSuppression &) = delete;
    TSuppression &operator=(const TSuppression &) = delete;

private:
    TMain_Form &FForm;
    const bool FAutoSave;
    const TEnd FEnd;
    const bool FNudgeBefore;
    const bool FAutoSaveBefore;
};
