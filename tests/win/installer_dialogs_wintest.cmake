# The installer's dialog tests: besides the English run, one run per other
# language of the string table, with Wine's system language taken from
# LC_ALL. They rewrite the product and driver keys of their lane's
# prefix, so they take a Wine lane as every Wine test does.
set_tests_properties(win.${name} PROPERTIES
  ENVIRONMENT "${tachy_win_env};LC_ALL=en_US.UTF-8;TACHY_INST_LANG=9"
  RESOURCE_GROUPS ${tachy_wine_lane})
foreach(run "french;fr_FR.UTF-8;12" "german;de_DE.UTF-8;7")
  list(GET run 0 tag)
  list(GET run 1 locale)
  list(GET run 2 langid)
  add_test(NAME win.${name}.${tag}
           COMMAND ${name} --gtest_filter=*FreshInstall*:*OkWithout*:*Reinstall*:*Gesture*:*Keyboard*:*Refused*)
  set_tests_properties(win.${name}.${tag} PROPERTIES
    ENVIRONMENT "${tachy_win_env};LC_ALL=${locale};TACHY_INST_LANG=${langid}"
    RESOURCE_GROUPS ${tachy_wine_lane}
    LABELS wine
    TIMEOUT 300)
endforeach()
