#include "engine/Engine.h"

#include "base/Error.h"
#include "engine/Deck.h"
#include "engine/DigestQueue.h"
#include "engine/FilePicture.h"
#include "engine/SaveDeck.h"

#include <algorithm>
#include <vector>

namespace kestrane::presentation {

namespace {

using automation::MsoTriState;

// Whether the application has quit, which every object checks before acting, where saves
// report their progress, what tells them the time and what digests the pictures ahead of them.
struct Session
{
    bool quit = false;
    SaveProgress saveProgress;
    Clock clock;
    DigestQueue digests;

    void check() const
    {
        if (quit)
            throw Error(ErrorCode::ApplicationQuit);
    }
};

// One presentation's deck, shared by the objects that reach into it. Slides are found by a
// stable id, since inserting a slide moves the ones after it.
struct PresentationState
{
    explicit PresentationState(std::shared_ptr<Session> owner) : session(std::move(owner)) {}

    SlideContent& slide(std::uint64_t id)
    {
        // Slides are mostly added at the end, so search from there.
        const auto found = std::find(slideIds.rbegin(), slideIds.rend(), id);
        return deck.slides[std::size_t(slideIds.rend() - found - 1)];
    }

    void discard()
    {
        deck.slides.clear();
        slideIds.clear();
    }

    std::shared_ptr<Session> session;
    Deck deck;
    std::vector<std::uint64_t> slideIds;
    std::uint64_t nextSlideId = 1;
};

class PictureShape : public automation::Shape
{
};

class EngineShapes : public automation::Shapes
{
public:
    EngineShapes(std::shared_ptr<PresentationState> state, std::uint64_t slideId)
        : m_state(std::move(state)), m_slideId(slideId)
    {
    }

    std::shared_ptr<automation::Shape> AddPicture(const std::string& fileName, MsoTriState linkToFile,
                                                  MsoTriState saveWithDocument, const std::string& left,
                                                  const std::string& top, const std::string& width,
                                                  const std::string& height) override
    {
        m_state->session->check();
        if (linkToFile != automation::msoFalse || saveWithDocument != automation::msoTrue)
            throw Error(ErrorCode::LinkedPictureUnsupported, fileName);
        const PictureBox box = readPlacement(left, top, width, height);
        std::shared_ptr<const Picture> picture = openPictureFile(fileName);
        m_state->session->digests.add(picture);
        m_state->slide(m_slideId).pictures.push_back({std::move(picture), box});
        return std::make_shared<PictureShape>();
    }

private:
    std::shared_ptr<PresentationState> m_state;
    std::uint64_t m_slideId;
};

class EngineSlide : public automation::Slide
{
public:
    EngineSlide(std::shared_ptr<PresentationState> state, std::uint64_t id) : m_shapes(std::move(state), id)
    {
    }

    automation::Shapes& Shapes() override { return m_shapes; }

private:
    EngineShapes m_shapes;
};

class EngineSlides : public automation::Slides
{
public:
    explicit EngineSlides(std::shared_ptr<PresentationState> state) : m_state(std::move(state)) {}

    std::shared_ptr<automation::Slide> Add(int index, int layout) override
    {
        m_state->session->check();
        if (layout != automation::ppLayoutBlank)
            throw Error(ErrorCode::UnsupportedLayout, "layout " + std::to_string(layout));
        const std::size_t count = m_state->deck.slides.size();
        if (index < 1 || std::size_t(index) > count + 1)
            throw Error(ErrorCode::SlideIndexOutOfRange,
                        "index " + std::to_string(index) + " with " + std::to_string(count) + " slides");
        const std::uint64_t id = m_state->nextSlideId++;
        const auto position = std::size_t(index - 1);
        m_state->deck.slides.insert(m_state->deck.slides.begin() + std::ptrdiff_t(position), SlideContent{});
        m_state->slideIds.insert(m_state->slideIds.begin() + std::ptrdiff_t(position), id);
        return std::make_shared<EngineSlide>(m_state, id);
    }

private:
    std::shared_ptr<PresentationState> m_state;
};

class EnginePresentation : public automation::Presentation
{
public:
    explicit EnginePresentation(std::shared_ptr<PresentationState> state) : m_state(state), m_slides(state) {}

    automation::Slides& Slides() override { return m_slides; }

    void SaveAs(const std::string& fileName) override
    {
        const Session& session = *m_state->session;
        session.check();
        m_state->deck.savedAt = session.clock();
        saveDeck(m_state->deck, fileName, session.saveProgress);
    }

private:
    std::shared_ptr<PresentationState> m_state;
    EngineSlides m_slides;
};

class EnginePresentations : public automation::Presentations
{
public:
    explicit EnginePresentations(std::shared_ptr<Session> session) : m_session(std::move(session)) {}

    std::shared_ptr<automation::Presentation> Add() override
    {
        m_session->check();
        auto state = std::make_shared<PresentationState>(m_session);
        m_states.push_back(state);
        return std::make_shared<EnginePresentation>(state);
    }

    // Releases every presentation's pictures, also of presentations the caller still holds.
    void discardAll()
    {
        for (const auto& weak : m_states) {
            if (const auto state = weak.lock())
                state->discard();
        }
        m_states.clear();
    }

private:
    std::shared_ptr<Session> m_session;
    std::vector<std::weak_ptr<PresentationState>> m_states;
};

class EngineApplication : public automation::Application
{
public:
    EngineApplication(SaveProgress progress, Clock clock)
    {
        m_session->saveProgress = std::move(progress);
        m_session->clock = std::move(clock);
    }

    automation::Presentations& Presentations() override { return m_presentations; }

    void Quit() override
    {
        m_session->check();
        m_session->digests.clear();
        m_presentations.discardAll();
        m_session->quit = true;
    }

private:
    std::shared_ptr<Session> m_session = std::make_shared<Session>();
    EnginePresentations m_presentations{m_session};
};

} // namespace

std::chrono::sys_seconds systemTime()
{
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

std::shared_ptr<automation::Application> startApplication(SaveProgress progress, Clock clock)
{
    return std::make_shared<EngineApplication>(std::move(progress), std::move(clock));
}

} // namespace kestrane::presentation
