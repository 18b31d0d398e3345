// The item picture saver: reads an item record, makes the item's folders, fetches its pictures.
#pragma once

#include <string>
#include <string_view>

#include "core/job_gate.h"

// Deletes, in order, every ":", "\\", "/", "?", "*", "<", ">", "|", "：", "、", "？", "。",
// "（", "）", "·", "！", "，", "." and ASCII space (double-byte aware).
std::string clean_title(std::string_view text);

// Saves the pictures of one item record under the save location, logging every step through
// `steps` (which also gates every log text, request, folder and file). Failures are never
// raised: an unreadable record gives the title and item id "null" and no pictures.
void save_item_pictures(const std::string& record, JobSteps& steps);
