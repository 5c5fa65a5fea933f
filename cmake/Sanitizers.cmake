# AddressSanitizer + UndefinedBehaviorSanitizer, stopping at the first finding.
if(VQZ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Fuzzing: the sanitizers plus libFuzzer's coverage in every target; the fuzz targets link the
# fuzzer itself.
if(VQZ_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
