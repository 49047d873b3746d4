# The maker's web addresses, set here and nowhere else (or with -D at configure time).
set(ORVANE_SUPPORT_URL "https://www.sablewickfern.co/orvane/support/"
    CACHE STRING "Help > Support opens this page")
set(ORVANE_UPDATES_URL "https://www.sablewickfern.co/orvane/updates/"
    CACHE STRING "Help > Updates opens this page")
# At run time ORVANE_UPDATE_MANIFEST_URL and ORVANE_DOWNLOAD_BASE_URL override the next two (tests, staged
# deployments).
set(ORVANE_UPDATE_MANIFEST_URL_DEFAULT "https://www.sablewickfern.co/orvane/update.plist"
    CACHE STRING "Address of the update manifest (a property list) fetched at launch")
set(ORVANE_DOWNLOAD_BASE_URL_DEFAULT "https://www.sablewickfern.co/downloads/"
    CACHE STRING "Download base address: an offered download address must begin with it; ends in /")
# Screenshots shown by software centres; the AppStream metainfo lists them. They are the README's pictures.
set(ORVANE_SCREENSHOT_CHECK_URL "https://www.sablewickfern.co/orvane/screenshots/orvane-check.png"
    CACHE STRING "Address of the picture of a window after a Check (docs/orvane-check.png)")
set(ORVANE_SCREENSHOT_UPDATE_URL "https://www.sablewickfern.co/orvane/screenshots/orvane-update.png"
    CACHE STRING "Address of the picture of the update offer (docs/orvane-update.png)")
