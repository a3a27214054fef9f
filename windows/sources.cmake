list(APPEND NUDGER_WINDOWS_SOURCES
    windows/Prompts_Unit.h windows/Prompts_Unit.cpp
    windows/FontBridge_Unit.h windows/FontBridge_Unit.cpp
    windows/FileBox_Unit.h windows/FileBox_Unit.cpp
    windows/CaptionButton_Unit.h windows/CaptionButton_Unit.cpp
    windows/WindowPlacement_Unit.h windows/WindowPlacement_Unit.cpp
    windows/AreaColours_Unit.h windows/AreaColours_Unit.cpp
    windows/TextLayout_Unit.h windows/TextLayout_Unit.cpp
    windows/TextSnapshot_Unit.h windows/TextSnapshot_Unit.cpp
    windows/EarlierVersions_Unit.h windows/EarlierVersions_Unit.cpp
    windows/MainControls_Unit.h windows/MainControls_Unit.cpp
    windows/StartupStyle_Unit.h windows/StartupStyle_Unit.cpp
    windows/ConflictBar_Unit.h windows/ConflictBar_Unit.cpp
    windows/Main_Unit.h windows/Main_Unit.cpp windows/Main_Unit_Document.cpp
    windows/MainMessages_Unit.h windows/Suppression_Unit.h
    windows/Settings_Unit.h windows/Settings_Unit.cpp
    windows/SuggestionSettings_Unit.h windows/SuggestionSettings_Unit.cpp
    windows/Splash_Unit.h windows/Splash_Unit.cpp
    windows/About_Unit.h windows/About_Unit.cpp
    windows/ManualReader_Unit.h windows/ManualReader_Unit.cpp
    # Last, beside the other code that runs only when the writer asks for it:
    # the pages around the code that runs at start, which are read in with
    # it, hold none of theirs.
    windows/FindBar_Unit.h windows/FindBar_Unit.cpp
    windows/TextSearch_Unit.h windows/TextSearch_Unit.cpp
    windows/SpellMarks_Unit.h windows/SpellMarks_Unit.cpp windows/Main_Unit_Spelling.cpp
    windows/WritingCount_Unit.h windows/WritingCount_Unit.cpp windows/Main_Unit_Goal.cpp
    windows/WritingGoal_Unit.h windows/WritingGoal_Unit.cpp
    windows/WritingRecordWindow_Unit.h windows/WritingRecordWindow_Unit.cpp
)
