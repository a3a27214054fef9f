list(APPEND NUDGER_STORAGE_SOURCES
    storage/WholeFile_Unit.h storage/WholeFile_Unit.cpp
    storage/TovrinDataEncode_Unit.h storage/TovrinDataEncode_Unit.cpp
    storage/ConfigurationFile_Unit.h storage/ConfigurationFile_Unit.cpp
    storage/Conversions_Unit.h storage/Conversions_Unit.cpp
    storage/ReservedFileGuard_Unit.h storage/ReservedFileGuard_Unit.cpp
    storage/TextFile_Unit.h storage/TextFile_Unit.cpp
    storage/TextDocument_Unit.h storage/TextDocument_Unit.cpp
    storage/SuggestionStore_Unit.h storage/SuggestionStore_Unit.cpp
    storage/MainWindowSettings_Unit.h storage/MainWindowSettings_Unit.cpp
    storage/Worker_Unit.h storage/Worker_Unit.cpp
    storage/PrivateFolder_Unit.h storage/PrivateFolder_Unit.cpp
    storage/History_Unit.h storage/History_Unit.cpp
    storage/RecoveryCopy_Unit.h storage/RecoveryCopy_Unit.cpp
    storage/TextDiff_Unit.h storage/TextDiff_Unit.cpp
    storage/WriterSettings_Unit.h storage/WriterSettings_Unit.cpp
    storage/SpellChecker_Unit.h storage/SpellChecker_Unit.cpp
)
