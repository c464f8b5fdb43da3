// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDI_TARNWICK 101
#define IDC_TARNWICK_HAND 103
// The banner drawn for 100, 125, 150, 175 and 200 %: PNG pictures (RCDATA), in order.
#define IDB_BANNER_100 110
#define IDB_BANNER_125 111
#define IDB_BANNER_150 112
#define IDB_BANNER_175 113
#define IDB_BANNER_200 114
