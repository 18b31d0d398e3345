// Item pages shaped like the marketplaces' pages, served by the test server, for job tests.
#pragma once

#include <string>
#include <vector>

#include "support/test_server.h"

// One item served as a page (over HTTP) with its pictures (over HTTPS).
struct ServedItem {
    std::string line;               // the address line that names the page
    std::vector<std::string> urls;  // the pictures' addresses, in page order
    std::string page;               // the page bytes (GBK)
};

// A Taobao page at "/item.taobao.com/<name>.htm" with pictures "/<name>/<i>.jpg" (UTF-8 title).
// Picture `held` (1-based, 0 for none) is held after its first `held_sent` bytes.
ServedItem serve_taobao(vktest::TestServer& server, const std::string& name, const std::string& title,
                        const std::string& item_id, int pictures, int held = 0, std::size_t held_sent = 0);
ServedItem serve_tmall(vktest::TestServer& server, const std::string& name, const std::string& title,
                       const std::string& item_id, int pictures);

// The bytes of picture i of item `name`: binary, distinct, a few kilobytes.
std::string picture_bytes(const std::string& name, int i);
