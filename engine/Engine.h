#pragma once

#include "engine/SaveProgress.h"
#include "platform/Automation.h"

#include <memory>

// The presentation engine: the automation object model realised without any office suite.
//
// The application hands out presentations; each presentation holds a Deck (Deck.h), the plain
// description of its slides and pictures. Slides::Add inserts an empty slide into the deck;
// Shapes::AddPicture reads the placement texts (Placement.h), takes the picture file in
// (FilePicture.h, which checks its content with ImageHeader.h) and places it on the slide.
// Presentation::SaveAs hands the deck to SaveDeck.h, which picks the writer by the file name
// (PptxWriter.h with PptxParts.h and ZipPackage.h, or PptWriter.h) and runs it through the
// atomic save (AtomicSave.h), whose temporary file is the writers' ByteSink; SaveDeck.h counts
// the bytes going into it for the save's progress report.
// Application::Quit drops every deck, which closes every picture file.
namespace kestrane::presentation {

// A new application object. Presentations keep their pictures' files open until the application
// quits, one file each, within the process's open-file limit. Every SaveAs tells `progress` how
// far it has come.
std::shared_ptr<automation::Application> startApplication(SaveProgress progress = {});

} // namespace kestrane::presentation
