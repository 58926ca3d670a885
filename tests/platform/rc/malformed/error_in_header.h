// Included by error_in_header.rc.
#define IDD_BROKEN 0x
