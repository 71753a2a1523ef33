# Every test carries one label:
#   fast     unit tests, seconds            (ctest -L fast)
#   readers  tests that run pffexport, readpst or pst-extractor
#   slow     fuzzers, kill tests, large conversions
#
# quillmere_discover_tests(<target> LABEL <label>
#                          [READERS <Suite or Suite.Test>...] [SLOW <Suite or Suite.Test>...]
#                          [DISCOVERY <gtest_discover_tests options>...]
#                          [PROPERTIES <test properties>...])
# discovers the target's tests with LABEL, except the named suites or tests,
# which get the readers or slow label (a slow test that also runs the readers
# is slow).
function(quillmere_gtest_patterns out)
  set(patterns "")
  foreach(name ${ARGN})
    if(name MATCHES "\\.")
      list(APPEND patterns ${name})
    else()
      list(APPEND patterns ${name}.*)
    endif()
  endforeach()
  list(JOIN patterns ":" joined)
  set(${out} "${joined}" PARENT_SCOPE)
endfunction()

function(quillmere_discover_tests target)
  cmake_parse_arguments(arg "" "LABEL" "READERS;SLOW;DISCOVERY;PROPERTIES" ${ARGN})
  quillmere_gtest_patterns(slow ${arg_SLOW})
  quillmere_gtest_patterns(readers ${arg_READERS})
  if(slow)
    gtest_discover_tests(${target} ${arg_DISCOVERY} TEST_FILTER "${slow}"
                         PROPERTIES LABELS slow ${arg_PROPERTIES})
  endif()
  if(readers)
    set(filter "${readers}")
    if(slow)
      string(APPEND filter "-${slow}")
    endif()
    gtest_discover_tests(${target} ${arg_DISCOVERY} TEST_FILTER "${filter}"
                         PROPERTIES LABELS readers ${arg_PROPERTIES})
  endif()
  set(rest "")
  if(slow OR readers)
    set(apart ${slow} ${readers})
    list(JOIN apart ":" apart)
    set(rest TEST_FILTER "-${apart}")
  endif()
  gtest_discover_tests(${target} ${arg_DISCOVERY} ${rest} PROPERTIES LABELS ${arg_LABEL} ${arg_PROPERTIES})
endfunction()
