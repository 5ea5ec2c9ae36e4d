// Collecting, filtering, ordering and numbering the elements of one observation.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "deskhand/cli/json_answers.h"
#include "deskhand/observe/tree_walk.h"

namespace deskhand {

// The actionable elements of `pid` (none: the frontmost application plus the system UI processes), with
// oversized and duplicate elements dropped, in reading order.
std::vector<RawElement> enumerateElements(std::optional<std::int32_t> pid);

// Numbered records, from 1, in list order, with each element's state read now.
std::vector<ElementInfo> numberElements(const std::vector<RawElement>& elements);

// The ordering steps, exposed for tests.
double elementArea(const RawElement& element);
void sortBySize(std::vector<RawElement>& elements);
// Keeps, in size order, the elements that are neither oversized nor duplicates of a smaller kept one.
std::vector<RawElement> filterElements(std::vector<RawElement> sortedBySize, platform::Rect bounds);
// Same row (tops less than 15 apart): left to right; otherwise top to bottom. Not transitive.
bool readingOrderBefore(const RawElement& a, const RawElement& b);
void sortReadingOrder(std::vector<RawElement>& elements);

}  // namespace deskhand
