#pragma once

#include "engine/SaveProgress.h"
#include "platform/Automation.h"

#include <chrono>
#include <functional>
#include <memory>

// The presentation engine: the automation object model realised without any office suite.
//
// The application hands out presentations; each presentation holds a Deck (Deck.h), the plain
// description of its slides and pictures. Slides::Add inserts an empty slide into the deck;
// Shapes::AddPicture reads the placement texts (readPlacement in Deck.h), takes the picture file
// in (FilePicture.h, which checks its content and reads a JPEG's orientation with ImageHeader.h),
// places it on the slide and queues it for its digest (DigestQueue.h), which is taken on a thread
// of its own.
// Presentation::SaveAs hands the deck to saveDeck (SaveDeck.h), which takes the Format (Format.h)
// the file name calls for, pptx/PptxWriter.h or ppt/PptWriter.h, checks the deck against its
// limits, opens the AtomicFile (AtomicSave.h), has the writer fill it and commits it: the file
// written aside is the writer's ByteSink, counts the bytes for the save's progress report and
// writes them behind on a thread of its own. Both writers store identical pictures once, found
// by their digests (DistinctPictures.h), turn each picture's frame so that it shows upright in
// its box (Orientation.h), and stream the pictures from their files through Pipeline.h, which
// reads them ahead on another.
// Application::Quit drops every deck, which closes every picture file.
namespace kestrane::presentation {

// The time a save stamps on the file.
using Clock = std::function<std::chrono::sys_seconds()>;
std::chrono::sys_seconds systemTime();

// A new application object. Presentations keep their pictures' files open until the application
// quits, one file each, within the process's open-file limit. Every SaveAs tells `progress` how
// far it has come and records `clock`'s time as the document's.
std::shared_ptr<automation::Application> startApplication(SaveProgress progress = {},
                                                          Clock clock = systemTime);

} // namespace kestrane::presentation
