// The program's version, for the version resource.
#pragma once

#define PRUVOLT_VERSION_MAJOR 1
#define PRUVOLT_VERSION_MINOR 0
#define PRUVOLT_VERSION_PATCH 0
#define PRUVOLT_VERSION_TEXT "1.0.0"
