# Tests of storage/.
