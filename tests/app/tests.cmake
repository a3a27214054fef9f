# Tests of app/.
nudger_add_test(tst_PlatformDependence_Unit app/tst_PlatformDependence_Unit.cpp)
