# Tests of windows/.
nudger_add_test(tst_Settings_Unit windows/tst_Settings_Unit.cpp)
