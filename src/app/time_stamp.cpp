#include "app/time_stamp.h"

std::string FormatTimeStamp(int year, int month, int day, int hour, int minute) {
  return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day) + "_" +
         std::to_string(hour) + "-" + std::to_string(minute);
}
