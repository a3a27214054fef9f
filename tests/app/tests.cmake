# Tests of app/.
