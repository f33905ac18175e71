# `make package`: a Debian package of the installed program. The shared libraries it needs come
# from dpkg-shlibdeps; what it loads at run time without linking is listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME framlet)
set(CPACK_PACKAGE_VENDOR "Framlet")
set(CPACK_PACKAGE_CONTACT "Framlet developers <framlet@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps your recent screenshots on a shelf")
set(CPACK_PACKAGE_DESCRIPTION
    "Framlet waits in the tray, catches every screenshot you take and keeps the newest ones on a
floating shelf, ready to be dragged into other programs. The text in each screenshot is
recognised on your computer, so the shelf can be searched by it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Text recognition reads the English model; Qt's Wayland and image plugins are loaded, not
# linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tesseract-ocr-eng")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme, qt6-wayland, qt6-image-formats-plugins")
include(CPack)
