#pragma once

#include <memory>
#include <string>

// The automation object model through which the conversion drives a presentation application:
// an application, its presentations, their slides, the slides' shapes. The conversion sees only
// these interfaces; the engine in engine/ realises them, tests record them.
namespace kestrane::automation {

// The application's tri-state booleans, numerically as the object model passes them.
enum MsoTriState : int
{
    msoFalse = 0,
    msoTrue = -1,
};

enum PpSlideLayout : int
{
    ppLayoutBlank = 12,
};

class Shape
{
public:
    virtual ~Shape() = default;
};

class Shapes
{
public:
    virtual ~Shapes() = default;
    // Left, Top, Width and Height are the texts as typed, in points.
    virtual std::shared_ptr<Shape> AddPicture(const std::string& fileName, MsoTriState linkToFile,
                                              MsoTriState saveWithDocument, const std::string& left,
                                              const std::string& top, const std::string& width,
                                              const std::string& height) = 0;
};

class Slide
{
public:
    virtual ~Slide() = default;
    virtual automation::Shapes& Shapes() = 0;
};

class Slides
{
public:
    virtual ~Slides() = default;
    // Inserts a slide at the 1-based position index.
    virtual std::shared_ptr<Slide> Add(int index, int layout) = 0;
};

class Presentation
{
public:
    virtual ~Presentation() = default;
    virtual automation::Slides& Slides() = 0;
    virtual void SaveAs(const std::string& fileName) = 0;
};

class Presentations
{
public:
    virtual ~Presentations() = default;
    virtual std::shared_ptr<Presentation> Add() = 0;
};

class Application
{
public:
    virtual ~Application() = default;
    virtual automation::Presentations& Presentations() = 0;
    // Discards everything unsaved and releases every resource.
    virtual void Quit() = 0;
};

} // namespace kestrane::automation
