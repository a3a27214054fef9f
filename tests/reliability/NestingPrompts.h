// Scripted prompts that, while the first message box is "open", let a timer
// tick run once, as the event loop of a real modal box would.
#pragma once

#include "support/ScriptedPrompts.h"

#include <functional>
#include <utility>

class TNestingPrompts : public TScriptedPrompts
{
public:
    // Runs once, inside the first message box shown after it is set.
    std::function<void()> WhileOpen;

    void ShowMessage(const QString &text) override
    {
        TScriptedPrompts::ShowMessage(text);
        if (const std::function<void()> tick = std::exchange(WhileOpen, nullptr))
            tick();
    }
};
