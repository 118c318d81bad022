#pragma once

#include "engine/Deck.h"
#include "engine/DistinctPictures.h"

#include <chrono>
#include <cstddef>
#include <string>

// The parts of a minimal PresentationML package, each rendered on its own. Relationship ids and
// part names are fixed here and agree across parts: the presentation's relationships are rId1 the
// master, rId2 the theme, rId3-rId5 the property parts and rId6 onwards the slides; a slide's are
// rId1 its layout and rId2 onwards its pictures, in order.
namespace kestrane::presentation::pptx {

// The part of entry n (from 0) of the deck's distinct pictures: ppt/media/image<n+1>.<ext>.
std::string mediaFileName(std::size_t entry, PictureFormat format);

// A default content type for each picture extension the deck uses.
std::string contentTypes(const Deck& deck);
std::string packageRelationships();
// The save time as the document's creation and modification time; no author.
std::string coreProperties(std::chrono::sys_seconds savedAt);
std::string appProperties(std::size_t slideCount);
std::string presentation(std::size_t slideCount);
std::string presentationRelationships(std::size_t slideCount);
std::string presentationProperties();
std::string viewProperties();
std::string tableStyles();
std::string theme();
std::string slideMaster();
std::string slideMasterRelationships();
std::string slideLayout();
std::string slideLayoutRelationships();
std::string slide(const SlideContent& content);
std::string slideRelationships(const SlideContent& content, const DistinctPictures& media);

} // namespace kestrane::presentation::pptx
