# Tests of storage/.
nudger_add_test(tst_TovrinDataEncode_Unit storage/tst_TovrinDataEncode_Unit.cpp)
nudger_add_test(tst_ConfigurationFile_Unit storage/tst_ConfigurationFile_Unit.cpp)
