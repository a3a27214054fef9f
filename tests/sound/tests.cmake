# Tests of sound/.
