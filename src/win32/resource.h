// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDI_TARNWICK 101
#define IDB_BANNER 102
#define IDC_TARNWICK_HAND 103
