#pragma once

#include "platform/MessageBox.h"
#include "platform/ObjectFactory.h"
#include "platform/PosixFileSystemObject.h"
#include "platform/ProgramEnd.h"
#include "platform/Progress.h"
#include "platform/SaveFileDialog.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::testing {

// A settings store in memory that records every call in order.
class RecordingSettingsStore : public SettingsStore
{
public:
    std::string Read(const std::string& application, const std::string& section, const std::string& key,
                     int defaultValue) override
    {
        calls.push_back("Read " + application + "/" + section + "/" + key);
        const auto it = values.find(section + "/" + key);
        return it == values.end() ? std::to_string(defaultValue) : it->second;
    }

    void Write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& text) override
    {
        calls.push_back("Write " + application + "/" + section + "/" + key + "=" + text);
        values[section + "/" + key] = text;
    }

    std::string value(const std::string& key) const { return values.at("Settings/" + key); }

    std::map<std::string, std::string> values;
    std::vector<std::string> calls;
};

class RecordingMessageBox : public MessageBox
{
public:
    void show(const std::string& text) override { texts.push_back(text); }

    std::vector<std::string> texts;
};

// Records the status instead of ending the test process.
class RecordingProgramEnd : public ProgramEnd
{
public:
    void end(int status) override { statuses.push_back(status); }

    std::vector<int> statuses;
};

class RecordingShell : public Shell
{
public:
    bool open(const std::string& address) override
    {
        addresses.push_back(address);
        return nextAnswer;
    }

    bool nextAnswer = true;
    std::vector<std::string> addresses;
};

// Answers ShowSave with the preset name, or as a cancel when none is set; records the name
// the dialog started from each time it was shown.
class RecordingSaveDialog : public SaveFileDialog
{
public:
    void setFileName(const std::string& fileName) override { m_fileName = fileName; }
    std::string fileName() const override { return m_fileName; }
    void ShowSave() override
    {
        startedFrom.push_back(m_fileName);
        if (nextFileName)
            m_fileName = *nextFileName;
    }

    std::optional<std::string> nextFileName;
    std::vector<std::string> startedFrom;

private:
    std::string m_fileName;
};

// Writes every call made on the automation objects into one log, in order, with the exact
// arguments; the file-existence query is the real one.
class RecordingObjectFactory : public ObjectFactory
{
public:
    std::vector<std::string> log;
    // Called before each AddPicture is logged; a test may throw from it to fail the insert.
    std::function<void(const std::string& fileName)> onAddPicture;
    // Called after each SaveAs is logged, likewise.
    std::function<void(const std::string& fileName)> onSaveAs;

    std::shared_ptr<automation::Application> CreatePresentationApplication() override
    {
        log.push_back("CreatePresentationApplication");
        return std::make_shared<Application>(*this, ++m_applications);
    }

    std::unique_ptr<FileSystemObject> CreateFileSystemObject() override
    {
        log.push_back("CreateFileSystemObject");
        return std::make_unique<FileSystem>(*this);
    }

private:
    struct FileSystem : FileSystemObject
    {
        explicit FileSystem(RecordingObjectFactory& factory) : factory(factory) {}
        ~FileSystem() override { factory.log.push_back("ReleaseFileSystemObject"); }
        std::optional<std::string> FileExists(const std::string& path) override
        {
            const std::optional<std::string> found = query.FileExists(path);
            factory.log.push_back("FileExists(" + path + ")=" + (found ? "true" : "false"));
            return found;
        }
        RecordingObjectFactory& factory;
        PosixFileSystemObject query;
    };

    struct Shape : automation::Shape
    {
    };

    struct Shapes : automation::Shapes
    {
        explicit Shapes(RecordingObjectFactory& factory, std::string prefix)
            : factory(factory), prefix(std::move(prefix))
        {
        }
        std::shared_ptr<automation::Shape>
        AddPicture(const std::string& fileName, automation::MsoTriState linkToFile,
                   automation::MsoTriState saveWithDocument, const std::string& left, const std::string& top,
                   const std::string& width, const std::string& height) override
        {
            if (factory.onAddPicture)
                factory.onAddPicture(fileName);
            factory.log.push_back(prefix + "AddPicture(" + fileName + "," + std::to_string(linkToFile) + "," +
                                  std::to_string(saveWithDocument) + "," + left + "," + top + "," + width +
                                  "," + height + ")");
            return std::make_shared<Shape>();
        }
        RecordingObjectFactory& factory;
        std::string prefix;
    };

    struct Slide : automation::Slide
    {
        Slide(RecordingObjectFactory& factory, std::string prefix) : shapes(factory, std::move(prefix)) {}
        automation::Shapes& Shapes() override { return shapes; }
        struct Shapes shapes;
    };

    struct Slides : automation::Slides
    {
        Slides(RecordingObjectFactory& factory, std::string prefix)
            : factory(factory), prefix(std::move(prefix))
        {
        }
        std::shared_ptr<automation::Slide> Add(int index, int layout) override
        {
            factory.log.push_back(prefix + "Slides.Add(" + std::to_string(index) + "," +
                                  std::to_string(layout) + ")");
            return std::make_shared<Slide>(factory, prefix);
        }
        RecordingObjectFactory& factory;
        std::string prefix;
    };

    struct Presentation : automation::Presentation
    {
        Presentation(RecordingObjectFactory& factory, std::string prefix)
            : factory(factory), prefix(prefix), slides(factory, prefix)
        {
        }
        automation::Slides& Slides() override { return slides; }
        void SaveAs(const std::string& fileName) override
        {
            factory.log.push_back(prefix + "SaveAs(" + fileName + ")");
            if (factory.onSaveAs)
                factory.onSaveAs(fileName);
        }
        RecordingObjectFactory& factory;
        std::string prefix;
        struct Slides slides;
    };

    struct Presentations : automation::Presentations
    {
        Presentations(RecordingObjectFactory& factory, std::string prefix)
            : factory(factory), prefix(std::move(prefix))
        {
        }
        std::shared_ptr<automation::Presentation> Add() override
        {
            factory.log.push_back(prefix + "Presentations.Add");
            return std::make_shared<Presentation>(factory, prefix);
        }
        RecordingObjectFactory& factory;
        std::string prefix;
    };

    // Each application's calls are prefixed with its number, so tests see which object was used.
    struct Application : automation::Application
    {
        Application(RecordingObjectFactory& factory, int number)
            : factory(factory), prefix("app" + std::to_string(number) + "."), presentations(factory, prefix)
        {
        }
        automation::Presentations& Presentations() override { return presentations; }
        void Quit() override { factory.log.push_back(prefix + "Quit"); }
        RecordingObjectFactory& factory;
        std::string prefix;
        struct Presentations presentations;
    };

    int m_applications = 0;
};

class RecordingProgress : public Progress
{
public:
    void report(const std::string& text, std::uint64_t done, std::uint64_t total) override
    {
        updates.push_back(text + " " + std::to_string(done) + "/" + std::to_string(total));
    }
    void finish() override { ++finishes; }

    std::vector<std::string> updates;
    int finishes = 0;
};

// Every service recorded, for window tests.
struct FakeServices
{
    RecordingSettingsStore settings;
    RecordingMessageBox messageBox;
    RecordingProgramEnd programEnd;
    RecordingShell shell;
    RecordingSaveDialog saveDialog;
    RecordingObjectFactory objects;
    RecordingProgress progress;

    Services services() { return {settings, messageBox, programEnd, shell, saveDialog, objects, progress}; }
};

} // namespace kestrane::testing
