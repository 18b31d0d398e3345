// Taobao item page -> item record: the pure page reading and the fetching routine around it.
#pragma once

#include <string>
#include <string_view>

// The record of one Taobao page text: title, seller nick, item id and the main pictures.
std::string taobao_page_record(std::string_view page);

// Fetches the page at `address`, leaves its text in "lswb.txt" beside the host program and
// returns the page's record. A failed fetch reads as an empty page.
std::string build_taobao_record(std::string_view address);
