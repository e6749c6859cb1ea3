#pragma once
#include <string>

// year-month-day_hour-minute, all in decimal without leading zeros: 2024-3-5_9-7.
std::string FormatTimeStamp(int year, int month, int day, int hour, int minute);
