// Tmall item page text -> item record.
#pragma once

#include <string>
#include <string_view>

// The record of one Tmall page text. The main pictures come from the page's default picture
// list when it has one, otherwise from its 60x60 thumbnail links.
std::string tmall_page_record(std::string_view page);

