# Run by CPack before it packs the release: the address for reports of unexpected failures
# (ZELTOR_CONTACT) is printed in LEEME.txt and in the window's message; a release that still
# names the placeholder sends translators to nobody.
if(CPACK_ZELTOR_CONTACT STREQUAL "" OR CPACK_ZELTOR_CONTACT MATCHES "@example\\.(org|com|net)$")
    message(WARNING
        "This release names the placeholder address '${CPACK_ZELTOR_CONTACT}' for reports of "
        "unexpected failures, in LEEME.txt and in ZeltorIGU.exe's message.\n"
        "For a release to publish, configure the real one: "
        "cmake --preset win64 -DZELTOR_CONTACT=name@domain, or "
        "ZELTOR_CONTACT=name@domain ./scripts/package")
endif()
