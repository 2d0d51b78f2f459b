// Placeholder.
#include "net/remote_position.h"

std::string_view wholeDegreePart(std::string_view) { return {}; }
LocalPosition resolveLocalPosition(float, float, std::string_view, std::string_view,
                                   std::string_view, std::string_view, std::string_view,
                                   std::string_view) {
  return {0, 0, 0};
}
