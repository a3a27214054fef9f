# Tests of windows/.
