// Taobao item page text -> item record.
#pragma once

#include <string>
#include <string_view>

// The record of one Taobao page text: title, seller nick, item id and the main pictures.
std::string taobao_page_record(std::string_view page);

