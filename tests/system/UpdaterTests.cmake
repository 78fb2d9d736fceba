# Tests of the software updater (included from this folder's CMakeLists.txt).

add_library(plinkora_update_testkit STATIC UpdateTestKit.cpp UpdateTestServer.cpp)
target_link_libraries(plinkora_update_testkit PUBLIC
    plinkora_testsupport plinkora_options Qt6::Network PkgConfig::SODIUM GTest::gtest)

plinkora_add_test(test_system_update_feed TIMEOUT 60
    SOURCES AppcastParserTest.cpp
    LIBS plinkora_system plinkora_update_testkit)

plinkora_add_test(test_system_update_install TIMEOUT 60
    SOURCES UpdateInstallerTest.cpp
    LIBS plinkora_system plinkora_update_testkit)

plinkora_add_test(test_system_updater TIMEOUT 180
    SOURCES AppUpdaterTestFixture.cpp AppUpdaterCheckTest.cpp AppUpdaterInstallTest.cpp
    LIBS plinkora_system plinkora_update_testkit)

# A libFuzzer target for the feed parser, run for a few seconds as a test. libFuzzer is
# clang's, so the parser's own sources are compiled here with clang whatever compiler builds
# the rest; only a machine without clang skips it.
find_program(PLINKORA_CLANGXX NAMES clang++ clang++-14)
if(PLINKORA_CLANGXX)
    set(fuzzer ${CMAKE_CURRENT_BINARY_DIR}/appcast_fuzzer)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/appcast_corpus)
    set(fuzzed_sources
        ${PROJECT_SOURCE_DIR}/src/system/AppcastParser.cpp
        ${PROJECT_SOURCE_DIR}/src/system/UpdateVersion.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/AppcastFuzzer.cpp)
    add_custom_command(OUTPUT ${fuzzer}
        COMMAND ${PLINKORA_CLANGXX} -std=c++20 -O1 -g -fPIC
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -Wall -Wextra -Werror -Wold-style-cast
            -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -DQT_NO_KEYWORDS -DQT_NO_DEBUG
            -I${PROJECT_SOURCE_DIR}/src
            "-isystem$<JOIN:$<TARGET_PROPERTY:Qt6::Core,INTERFACE_INCLUDE_DIRECTORIES>,;-isystem>"
            ${fuzzed_sources} $<TARGET_LINKER_FILE:Qt6::Core> -o ${fuzzer}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${corpus}
        DEPENDS ${fuzzed_sources} ${PROJECT_SOURCE_DIR}/src/system/AppcastParser.hpp
            ${PROJECT_SOURCE_DIR}/src/system/UpdateVersion.hpp
        COMMENT "Building the feed parser's fuzz target with clang"
        COMMAND_EXPAND_LISTS VERBATIM)
    add_custom_target(plinkora_appcast_fuzzer ALL DEPENDS ${fuzzer})
    # New inputs go to the build folder's corpus; the seeds in the source tree stay as they are.
    add_test(NAME test_system_update_feed_fuzz
        COMMAND ${fuzzer} -max_total_time=5 -timeout=10 -rss_limit_mb=1024
            -dict=${CMAKE_CURRENT_SOURCE_DIR}/fuzz/appcast.dict
            ${corpus} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/appcast)
    set_tests_properties(test_system_update_feed_fuzz PROPERTIES TIMEOUT 60
        ENVIRONMENT "${PLINKORA_TEST_ENVIRONMENT}")
else()
    message(STATUS "clang++ not found: the feed parser's fuzz target is not built")
endif()
