# AddressSanitizer + UndefinedBehaviorSanitizer, stopping at the first finding.
if(VQZ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# ThreadSanitizer, for the writer's threads: a build of its own, as it cannot share a process with
# AddressSanitizer.
if(VQZ_SANITIZE_THREAD)
  if(VQZ_SANITIZE OR VQZ_FUZZ)
    message(FATAL_ERROR "VQZ_SANITIZE_THREAD cannot be combined with VQZ_SANITIZE or VQZ_FUZZ")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Fuzzing: the sanitizers plus libFuzzer's coverage in every target; the fuzz targets link the
# fuzzer itself.
if(VQZ_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
