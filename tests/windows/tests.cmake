# Tests of windows/.
nudger_add_test(tst_Settings_Unit windows/tst_Settings_Unit.cpp)
nudger_add_test(tst_SuggestionSettings_Unit windows/tst_SuggestionSettings_Unit.cpp)
nudger_add_test(tst_Splash_Unit windows/tst_Splash_Unit.cpp)
nudger_add_test(tst_About_Unit windows/tst_About_Unit.cpp)
nudger_add_test(tst_ManualReader_Unit windows/tst_ManualReader_Unit.cpp)
nudger_add_test(tst_Main_Unit windows/tst_Main_Unit.cpp)
