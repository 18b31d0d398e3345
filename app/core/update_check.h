// The update check: fetches the version page and compares the published version with ours.
#pragma once

#include <string>

#include "core/window_ops.h"

// The version page of this build: "http://" + update host + "/download/softzuixinv/index.html".
std::string version_page_url();

// Reads 标签_banben, fetches `page_url`, writes 标签_zxbanben and 标签_banbenjieguo and shows
// the newer-version message through `window`. Runs on whichever thread calls it.
void update_check(WindowOps& window, const std::string& page_url);
