# Tests of storage/.
nudger_add_test(tst_Conversions_Unit storage/tst_Conversions_Unit.cpp)
# The date-time text follows the region; run it again under a few others.
foreach(region en_US ko_KR fa_IR ar_EG hu_HU)
    add_test(NAME tst_Conversions_Unit_${region} COMMAND tst_Conversions_Unit dateTimeRoundTrip textToDateTimeOfGarbageIsZero)
    set_tests_properties(tst_Conversions_Unit_${region} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=${region}.UTF-8" TIMEOUT 300)
endforeach()
nudger_add_test(tst_ReservedFileGuard_Unit storage/tst_ReservedFileGuard_Unit.cpp)
nudger_add_test(tst_WholeFile_Unit storage/tst_WholeFile_Unit.cpp)
nudger_add_test(tst_TextFile_Unit storage/tst_TextFile_Unit.cpp)
nudger_add_test(tst_TextDocument_Unit storage/tst_TextDocument_Unit.cpp)
nudger_add_test(tst_SuggestionStore_Unit storage/tst_SuggestionStore_Unit.cpp)
nudger_add_test(tst_TovrinDataEncode_Unit storage/tst_TovrinDataEncode_Unit.cpp)
nudger_add_test(tst_ConfigurationFile_Unit storage/tst_ConfigurationFile_Unit.cpp)
nudger_add_test(tst_RecoveryCopy_Unit storage/tst_RecoveryCopy_Unit.cpp)
nudger_add_test(tst_History_Unit storage/tst_History_Unit.cpp)
nudger_add_test(tst_TextDiff_Unit storage/tst_TextDiff_Unit.cpp)
nudger_add_test(tst_WriterSettings_Unit storage/tst_WriterSettings_Unit.cpp)
nudger_add_test(tst_SpellChecker_Unit storage/tst_SpellChecker_Unit.cpp)
nudger_add_test(tst_WritingRecord_Unit storage/tst_WritingRecord_Unit.cpp)
# The folder's sync after a replace, seen in a trace of one write.
add_test(NAME tst_WholeFile_Unit_folder_sync
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/folder_sync.sh $<TARGET_FILE:tst_WholeFile_Unit>)
set_tests_properties(tst_WholeFile_Unit_folder_sync PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
