// Tmall item page -> item record: the pure page reading and the fetching routine around it.
#pragma once

#include <string>
#include <string_view>

// The record of one Tmall page text. The main pictures come from the page's default picture
// list when it has one, otherwise from its 60x60 thumbnail links.
std::string tmall_page_record(std::string_view page);

// Fetches the page at `address` and returns its record. A failed fetch reads as an empty page.
std::string build_tmall_record(std::string_view address);
