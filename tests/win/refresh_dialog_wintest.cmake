# The refresh-rate dialog test: besides the English run, one run per other
# language of the string table and Spanish (English texts, other layout), with Wine's system language taken from
# LC_ALL, checking only the language tests. The tests rewrite the Voodoo3
# keys of their lane's prefix, so they take a Wine lane as every Wine
# test does.
set_tests_properties(win.${name} PROPERTIES RESOURCE_GROUPS ${tachy_wine_lane})
foreach(run "french;fr_FR.UTF-8;12" "german;de_DE.UTF-8;7" "spanish;es_ES.UTF-8;10")
  list(GET run 0 tag)
  list(GET run 1 locale)
  list(GET run 2 langid)
  add_test(NAME win.${name}.${tag}
           COMMAND ${name} --gtest_filter=RefreshDialogLanguage.*)
  set_tests_properties(win.${name}.${tag} PROPERTIES
    ENVIRONMENT "${tachy_win_env};LC_ALL=${locale};TACHY_EXPECT_LANGID=${langid}"
    RESOURCE_GROUPS ${tachy_wine_lane}
    LABELS wine
    TIMEOUT 300)
endforeach()
