#pragma once

#include "base/Placement.h"
#include "platform/Automation.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrane {

class ObjectFactory;

// The current text of a placement field, read at the moment it is asked for.
using FieldReader = std::function<std::string(PlacementField)>;

// Called after each picture is placed, with how many have been placed so far.
using BuildProgress = std::function<void(std::uint64_t picturesAdded)>;

// The path probed for image number n: the directory, a separator, "image", n, ".jpg". The
// separator is written even after a root's own, which reaches the same file.
std::string imagePath(const std::string& imagedir, std::uint64_t n);

// Adds one blank slide per image1.jpg, image2.jpg, ... of imagedir, up to the first missing
// number, each with its picture embedded at the fields' placement. Only the numbered names are
// asked for; the file-existence query decides which file answers to each.
void AddImages(ObjectFactory& objects, automation::Presentation& pres, const std::string& imagedir,
               const FieldReader& fields, const BuildProgress& progress);

} // namespace kestrane
