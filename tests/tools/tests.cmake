# Tests of tools/: the package command's refusals. Building and installing
# the package itself is tools/package-check.sh's (it changes the system).
add_test(NAME package_refusals
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_refusals.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(package_refusals PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
