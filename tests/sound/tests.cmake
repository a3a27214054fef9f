# Tests of sound/.
nudger_add_test(tst_WavePlay sound/tst_WavePlay.cpp)
