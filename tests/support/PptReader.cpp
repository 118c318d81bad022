#include "tests/support/PptReader.h"

#include <algorithm>
#include <cstring>
#include <gsf/gsf.h>
#include <memory>
#include <set>
#include <sstream>

namespace kestrane::testing {

namespace {

enum : std::uint16_t
{
    DocumentType = 0x03E8,
    DocumentAtomType = 0x03E9,
    EndDocumentAtomType = 0x03EA,
    SlideType = 0x03EE,
    SlideAtomType = 0x03EF,
    EnvironmentType = 0x03F2,
    PersistAtomType = 0x03F3,
    MainMasterType = 0x03F8,
    DrawingGroupType = 0x040B,
    DrawingType = 0x040C,
    FontCollectionType = 0x07D5,
    ColorSchemeType = 0x07F0,
    TextMasterStyleType = 0x0FA3,
    SlideListType = 0x0FF0,
    UserEditType = 0x0FF5,
    CurrentUserType = 0x0FF6,
    PersistDirectoryType = 0x1772,
    DggContainerType = 0xF000,
    BStoreType = 0xF001,
    DgContainerType = 0xF002,
    SpgrContainerType = 0xF003,
    SpContainerType = 0xF004,
    FdggType = 0xF006,
    FbseType = 0xF007,
    FdgType = 0xF008,
    FspType = 0xF00A,
    FoptType = 0xF00B,
    ClientAnchorType = 0xF010,
    BlipJpegType = 0xF01D,
    BlipPngType = 0xF01E,
    BlipDibType = 0xF01F,
    BlipTiffType = 0xF029,
};

std::uint16_t u16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t u32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string hex(std::uint32_t value)
{
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

struct GObjectUnref
{
    void operator()(void* object) const { g_object_unref(object); }
};

std::map<std::string, ByteVector> readStreams(const ByteVector& file, std::array<std::uint8_t, 16>& classId,
                                              std::vector<std::string>& problems)
{
    std::map<std::string, ByteVector> streams;
    std::unique_ptr<GsfInput, GObjectUnref> input(gsf_input_memory_new(file.data(), file.size(), FALSE));
    GError* error = nullptr;
    std::unique_ptr<GsfInfile, GObjectUnref> ole(gsf_infile_msole_new(input.get(), &error));
    if (!ole) {
        problems.push_back(std::string("not a compound file: ") + (error ? error->message : "?"));
        if (error)
            g_error_free(error);
        return streams;
    }
    gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(ole.get()), classId.data());
    for (int i = 0; i < gsf_infile_num_children(ole.get()); ++i) {
        const std::string name = gsf_infile_name_by_index(ole.get(), i);
        std::unique_ptr<GsfInput, GObjectUnref> child(gsf_infile_child_by_index(ole.get(), i));
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            problems.push_back("unexpected storage " + name);
            continue;
        }
        ByteVector bytes(static_cast<std::size_t>(gsf_input_size(child.get())));
        if (!bytes.empty() && !gsf_input_read(child.get(), bytes.size(), bytes.data()))
            problems.push_back("stream " + name + " cannot be read");
        streams.emplace(name, std::move(bytes));
    }
    return streams;
}

class Reader
{
public:
    explicit Reader(PptFile& file) : m_file(file), m_problems(file.problems) {}

    void read();

private:
    void problem(const std::string& text) { m_problems.push_back(text); }
    const PptRecord* topLevel(std::size_t offset) const;
    const ByteVector& stream(const std::string& name);
    void checkPropertySet(const std::string& name);
    const std::uint8_t* payload(const PptRecord& record) const
    {
        return m_document->data() + record.offset + 8;
    }
    std::size_t readCurrentUser();
    std::map<std::uint32_t, std::uint32_t> readUserEdit(std::size_t userEditOffset, std::uint32_t& seed);
    const PptRecord* persisted(const std::map<std::uint32_t, std::uint32_t>& directory, std::uint32_t id,
                               std::uint16_t expectedType);
    void readDocument(const PptRecord& document, const std::map<std::uint32_t, std::uint32_t>& directory);
    void readMaster(const PptRecord& master);
    void readDrawing(const PptRecord* drawing, PptSlide& slide, bool master);
    void readPictureProperties(const PptRecord& opt, PptFrame& frame);
    void readGroupBlock(const PptRecord& block);
    void readPictureEntries(const PptRecord* store);
    void checkClustersAndUses();

    PptFile& m_file;
    std::vector<std::string>& m_problems;
    const ByteVector* m_document = nullptr;
    std::vector<std::uint32_t> m_clusterOwners; // drawing id per cluster, cluster 1 first
    std::set<std::uint32_t> m_shapeIds;
    std::map<std::uint32_t, std::uint32_t> m_shapeDrawing;
    std::uint32_t m_spidMax = 0;
    std::uint32_t m_savedShapes = 0;
    std::uint32_t m_savedDrawings = 0;
    std::uint32_t m_countedShapes = 0;
    std::uint32_t m_drawings = 0;
};

const PptRecord* Reader::topLevel(std::size_t offset) const
{
    for (const PptRecord& record : m_file.records)
        if (record.offset == offset)
            return &record;
    return nullptr;
}

const ByteVector& Reader::stream(const std::string& name)
{
    static const ByteVector none;
    auto found = m_file.streams.find(name);
    if (found == m_file.streams.end()) {
        problem("no \"" + name + "\" stream");
        return none;
    }
    return found->second;
}

std::size_t Reader::readCurrentUser()
{
    const ByteVector& user = stream("Current User");
    if (user.size() < 8 + 24) {
        problem("Current User too short");
        return SIZE_MAX;
    }
    const std::uint8_t* p = user.data();
    const std::uint16_t nameLength = u16(p + 20);
    if (u16(p + 2) != CurrentUserType || u32(p + 4) != 24u + nameLength)
        problem("Current User header wrong");
    if (u32(p + 8) != 0x14 || u32(p + 12) != 0xE391C05F || u16(p + 22) != 0x03F4 || p[24] != 3 || p[25] != 0)
        problem("Current User fields wrong");
    if (user.size() < 8 + 24u + nameLength + 2u * nameLength || u32(p + 28 + nameLength) != 8)
        problem("Current User name or release version wrong");
    return u32(p + 16);
}

std::map<std::uint32_t, std::uint32_t> Reader::readUserEdit(std::size_t userEditOffset, std::uint32_t& seed)
{
    std::map<std::uint32_t, std::uint32_t> directory;
    const PptRecord* edit = topLevel(userEditOffset);
    if (!edit || edit->type != UserEditType || edit->length < 28) {
        problem("Current User does not point at a user edit");
        return directory;
    }
    if (edit->offset + 8 + edit->length != m_document->size())
        problem("the user edit is not the last record");
    const std::uint8_t* p = payload(*edit);
    if (p[7] != 3 || u32(p + 8) != 0 || u32(p + 16) != 1)
        problem("user edit fields wrong");
    const std::uint32_t directoryOffset = u32(p + 12);
    seed = u32(p + 20);
    const PptRecord* persist = topLevel(directoryOffset);
    if (!persist || persist->type != PersistDirectoryType || directoryOffset >= userEditOffset) {
        problem("the user edit does not point at a persist directory before it");
        return directory;
    }
    const std::uint8_t* q = payload(*persist);
    for (std::size_t pos = 0; pos + 4 <= persist->length;) {
        const std::uint32_t head = u32(q + pos);
        const std::uint32_t first = head & 0xFFFFF;
        const std::uint32_t count = head >> 20;
        pos += 4;
        if (pos + 4u * count > persist->length) {
            problem("persist directory entry overruns");
            break;
        }
        for (std::uint32_t i = 0; i < count; ++i, pos += 4)
            directory[first + i] = u32(q + pos);
    }
    if (!directory.empty() && seed < directory.rbegin()->first)
        problem("persist id seed below the largest persist id");
    return directory;
}

const PptRecord* Reader::persisted(const std::map<std::uint32_t, std::uint32_t>& directory, std::uint32_t id,
                                   std::uint16_t expectedType)
{
    auto found = directory.find(id);
    const PptRecord* record = found == directory.end() ? nullptr : topLevel(found->second);
    if (!record || record->type != expectedType) {
        problem("persist id " + std::to_string(id) + " does not resolve to a record of type " +
                hex(expectedType));
        return nullptr;
    }
    return record;
}

void Reader::readGroupBlock(const PptRecord& block)
{
    const std::uint8_t* p = payload(block);
    m_spidMax = u32(p);
    const std::uint32_t clusterSlots = u32(p + 4);
    m_savedShapes = u32(p + 8);
    m_savedDrawings = u32(p + 12);
    if (block.length != 16 + 8 * (clusterSlots - 1))
        problem("drawing group block length does not match its cluster count");
    for (std::uint32_t i = 0; i + 1 < clusterSlots && 16 + 8 * i + 8 <= block.length; ++i)
        m_clusterOwners.push_back(u32(p + 16 + 8 * i));
}

void Reader::readPictureEntries(const PptRecord* store)
{
    if (!store)
        return;
    if (store->instance != store->children.size())
        problem("picture entry container instance is not the entry count");
    const ByteVector& pictures = stream("Pictures");
    const std::vector<PptRecord> blips = walkRecords(pictures.data(), pictures.size(), 0, m_problems);
    for (const PptRecord& entry : store->children) {
        if (entry.type != FbseType || entry.version != 2 || entry.length != 36) {
            problem("malformed picture entry");
            continue;
        }
        const std::uint8_t* p = payload(entry);
        PptPictureEntry picture;
        picture.blipType = p[0];
        if (p[1] != p[0] || entry.instance != p[0])
            problem("picture entry blip types disagree");
        std::memcpy(picture.uid.data(), p + 2, 16);
        picture.size = u32(p + 20);
        picture.uses = u32(p + 24);
        picture.offset = u32(p + 28);
        auto blip = std::find_if(blips.begin(), blips.end(),
                                 [&](const PptRecord& record) { return record.offset == picture.offset; });
        if (blip == blips.end()) {
            problem("picture entry offset " + std::to_string(picture.offset) + " is not a BLIP record");
            m_file.pictures.push_back(picture);
            continue;
        }
        picture.blipRecordType = blip->type;
        picture.blipInstance = blip->instance;
        const std::uint8_t* b = pictures.data() + blip->offset + 8;
        if (blip->length + 8 != picture.size)
            problem("BLIP length is not the entry's size - 8");
        if (blip->length < 17 || std::memcmp(b, picture.uid.data(), 16) != 0 || b[16] != 0xFF)
            problem("BLIP identifier differs from its entry's");
        const bool kindMatches =
            (picture.blipType == 5 && blip->type == BlipJpegType && blip->instance == 0x46A) ||
            (picture.blipType == 0x12 && blip->type == BlipJpegType && blip->instance == 0x6E2) ||
            (picture.blipType == 6 && blip->type == BlipPngType && blip->instance == 0x6E0) ||
            (picture.blipType == 7 && blip->type == BlipDibType && blip->instance == 0x7A8) ||
            (picture.blipType == 0x11 && blip->type == BlipTiffType && blip->instance == 0x6E4);
        if (!kindMatches)
            problem("BLIP record does not match the entry's type " + std::to_string(picture.blipType));
        if (blip->length >= 17)
            picture.bytes.assign(b + 17, b + blip->length);
        m_file.pictures.push_back(std::move(picture));
    }
    if (blips.size() != store->children.size())
        problem("the Pictures stream holds " + std::to_string(blips.size()) + " records for " +
                std::to_string(store->children.size()) + " entries");
}

void Reader::readDrawing(const PptRecord* drawing, PptSlide& slide, bool master)
{
    const PptRecord* dg = drawing ? drawing->child(DgContainerType) : nullptr;
    const PptRecord* fdg = dg ? dg->child(FdgType) : nullptr;
    const PptRecord* group = dg ? dg->child(SpgrContainerType) : nullptr;
    if (!fdg || !group || fdg->length != 8) {
        problem("drawing without FDG or group");
        return;
    }
    ++m_drawings;
    slide.drawingId = fdg->instance;
    std::vector<const PptRecord*> shapes;
    for (const PptRecord& shape : group->children)
        shapes.push_back(&shape);
    for (const PptRecord& shape : dg->children)
        if (shape.type == SpContainerType)
            shapes.push_back(&shape); // the background
    std::uint32_t largest = 0;
    for (const PptRecord* shape : shapes) {
        const PptRecord* fsp = shape->child(FspType);
        if (shape->type != SpContainerType || !fsp || fsp->length != 8) {
            problem("shape without FSP");
            continue;
        }
        const std::uint32_t spid = u32(payload(*fsp));
        largest = std::max(largest, spid);
        if (!m_shapeIds.insert(spid).second)
            problem("shape id " + std::to_string(spid) + " used twice");
        m_shapeDrawing[spid] = slide.drawingId;
        if (fsp->instance != 75)
            continue;
        if (master)
            problem("picture frame on the master");
        PptFrame frame;
        frame.shapeId = spid;
        if (const PptRecord* opt = shape->child(FoptType))
            readPictureProperties(*opt, frame);
        const PptRecord* anchor = shape->child(ClientAnchorType);
        if (!anchor || anchor->length != 8) {
            problem("picture frame without an 8-byte anchor");
        } else {
            const std::uint8_t* p = payload(*anchor);
            frame.top = static_cast<std::int16_t>(u16(p));
            frame.left = static_cast<std::int16_t>(u16(p + 2));
            frame.right = static_cast<std::int16_t>(u16(p + 4));
            frame.bottom = static_cast<std::int16_t>(u16(p + 6));
        }
        slide.frames.push_back(frame);
    }
    const std::uint8_t* f = payload(*fdg);
    m_countedShapes += u32(f);
    if (u32(f) + 1 != shapes.size() || u32(f + 4) != largest)
        problem("FDG of drawing " + std::to_string(slide.drawingId) + " miscounts its shapes");
}

// The table of 6-byte entries, then the values of the complex ones (texts here) in table order.
void Reader::readPictureProperties(const PptRecord& opt, PptFrame& frame)
{
    const std::uint8_t* p = payload(opt);
    std::size_t complexAt = 6 * std::size_t(opt.instance);
    if (complexAt > opt.length) {
        problem("property table overruns its record");
        return;
    }
    for (std::size_t i = 0; i < opt.instance; ++i) {
        const std::uint16_t id = u16(p + 6 * i);
        const std::uint32_t value = u32(p + 6 * i + 2);
        if (!(id & 0x8000)) {
            if ((id & 0x3FFF) == 0x104)
                frame.pictureIndex = value;
            continue;
        }
        if (value > opt.length - complexAt || value % 2 != 0 || value < 2 ||
            u16(p + complexAt + value - 2) != 0) {
            problem("property " + hex(id) + " is not a NUL-terminated text inside its record");
            return;
        }
        std::u16string text;
        for (std::size_t k = 0; k + 2 < value; k += 2)
            text.push_back(static_cast<char16_t>(u16(p + complexAt + k)));
        if ((id & 0x3FFF) == 0x380)
            frame.name = text;
        else if ((id & 0x3FFF) == 0x381)
            frame.description = text;
        complexAt += value;
    }
    if (complexAt != opt.length)
        problem("property record length does not match its values");
}

void Reader::readMaster(const PptRecord& master)
{
    std::vector<std::pair<std::uint16_t, std::uint16_t>> kinds;
    for (const PptRecord& child : master.children)
        kinds.emplace_back(child.type, child.instance);
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> expected{
        {SlideAtomType, 0},       {ColorSchemeType, 6},     {TextMasterStyleType, 0},
        {TextMasterStyleType, 1}, {TextMasterStyleType, 2}, {TextMasterStyleType, 5},
        {TextMasterStyleType, 6}, {TextMasterStyleType, 7}, {TextMasterStyleType, 8},
        {DrawingType, 0},         {ColorSchemeType, 1}};
    if (kinds != expected)
        problem("main master children out of order or missing");
    PptSlide ignored;
    readDrawing(master.child(DrawingType), ignored, true);
}

void Reader::readDocument(const PptRecord& document, const std::map<std::uint32_t, std::uint32_t>& directory)
{
    const PptRecord* atom = document.child(DocumentAtomType);
    if (!atom || atom->version != 1 || atom->length != 40) {
        problem("malformed document atom");
    } else {
        m_file.slideWidth = static_cast<std::int32_t>(u32(payload(*atom)));
        m_file.slideHeight = static_cast<std::int32_t>(u32(payload(*atom) + 4));
    }
    const PptRecord* environment = document.child(EnvironmentType);
    if (!environment || !environment->child(FontCollectionType) ||
        !environment->child(TextMasterStyleType, 4))
        problem("environment lacks fonts or the \"other\" text style");
    if (document.children.empty() || document.children.back().type != EndDocumentAtomType)
        problem("document does not end with its end atom");

    const PptRecord* group = document.child(DrawingGroupType);
    const PptRecord* dgg = group ? group->child(DggContainerType) : nullptr;
    const PptRecord* block = dgg ? dgg->child(FdggType) : nullptr;
    if (!block)
        problem("no drawing group block");
    else
        readGroupBlock(*block);
    readPictureEntries(dgg ? dgg->child(BStoreType) : nullptr);

    const PptRecord* masters = document.child(SlideListType, 1);
    const PptRecord* masterAtom = masters ? masters->child(PersistAtomType) : nullptr;
    if (!masterAtom || masters->children.size() != 1) {
        problem("no master list");
    } else {
        const std::uint8_t* p = payload(*masterAtom);
        if (u32(p + 12) != 0x80000000)
            problem("master id wrong");
        if (const PptRecord* master = persisted(directory, u32(p), MainMasterType))
            readMaster(*master);
    }

    if (const PptRecord* list = document.child(SlideListType, 0)) {
        for (const PptRecord& entry : list->children) {
            if (entry.type != PersistAtomType || entry.length != 20) {
                problem("slide list holds something else than slide persist atoms");
                continue;
            }
            const std::uint8_t* p = payload(entry);
            PptSlide slide;
            slide.persistId = u32(p);
            slide.slideId = u32(p + 12);
            if (const PptRecord* record = persisted(directory, slide.persistId, SlideType)) {
                const PptRecord* slideAtom = record->child(SlideAtomType);
                if (!slideAtom || slideAtom->version != 2 || u32(payload(*slideAtom) + 12) != 0x80000000)
                    problem("slide atom does not name the master");
                readDrawing(record->child(DrawingType), slide, false);
            }
            m_file.slides.push_back(std::move(slide));
        }
        if (list->children.empty())
            problem("empty slide list");
    }
}

void Reader::checkClustersAndUses()
{
    if (!m_shapeIds.empty() && m_spidMax != *m_shapeIds.rbegin() + 1)
        problem("spidMax is not the next free shape id");
    if (m_savedDrawings != m_drawings || m_savedShapes != m_countedShapes)
        problem("drawing group totals do not match the drawings");
    for (const auto& [spid, drawingId] : m_shapeDrawing) {
        const std::uint32_t cluster = spid >> 10;
        if (cluster == 0 || cluster > m_clusterOwners.size() || m_clusterOwners[cluster - 1] != drawingId)
            problem("shape id " + std::to_string(spid) + " is in a cluster drawing " +
                    std::to_string(drawingId) + " does not own");
    }
    std::vector<std::uint32_t> uses(m_file.pictures.size(), 0);
    for (const PptSlide& slide : m_file.slides) {
        for (const PptFrame& frame : slide.frames) {
            if (frame.pictureIndex < 1 || frame.pictureIndex > uses.size())
                problem("picture index " + std::to_string(frame.pictureIndex) + " out of range");
            else
                ++uses[frame.pictureIndex - 1];
        }
    }
    for (std::size_t i = 0; i < uses.size(); ++i)
        if (uses[i] != m_file.pictures[i].uses)
            problem("picture entry " + std::to_string(i + 1) + " counts " +
                    std::to_string(m_file.pictures[i].uses) + " uses, frames show it " +
                    std::to_string(uses[i]) + " times");
}

// A property-set stream as strict readers take it: the stream header, then one set whose size
// and every property's offset are whole 4-byte units inside the set.
void Reader::checkPropertySet(const std::string& name)
{
    const ByteVector& bytes = stream(name);
    if (bytes.size() < 56 || u16(bytes.data()) != 0xFFFE || u32(bytes.data() + 24) < 1) {
        problem(name.substr(1) + " has no property set header");
        return;
    }
    const std::uint32_t start = u32(bytes.data() + 44);
    const std::uint32_t size = start <= bytes.size() - 8 ? u32(bytes.data() + start) : 0;
    const std::uint32_t count = size ? u32(bytes.data() + start + 4) : 0;
    if (size % 4 != 0 || size > bytes.size() - start || 8 + 8 * std::uint64_t(count) > size) {
        problem(name.substr(1) + " has a set that overruns the stream or is not padded");
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t offset = u32(bytes.data() + start + 12 + 8 * i);
        if (offset % 4 != 0 || offset + 4 > size)
            problem(name.substr(1) + " property " + std::to_string(i) + " is misplaced");
    }
}

void Reader::read()
{
    checkPropertySet("\005SummaryInformation");
    checkPropertySet("\005DocumentSummaryInformation");
    m_document = &stream("PowerPoint Document");
    m_file.records = walkRecords(m_document->data(), m_document->size(), 0, m_problems);
    const std::size_t userEditOffset = readCurrentUser();
    std::uint32_t seed = 0;
    const auto directory = readUserEdit(userEditOffset, seed);
    if (const PptRecord* document = persisted(directory, 1, DocumentType))
        readDocument(*document, directory);
    checkClustersAndUses();
}

} // namespace

const PptRecord* PptRecord::child(std::uint16_t childType, int childInstance) const
{
    for (const PptRecord& record : children)
        if (record.type == childType && (childInstance < 0 || record.instance == childInstance))
            return &record;
    return nullptr;
}

std::vector<const PptRecord*> PptRecord::childrenOf(std::uint16_t childType) const
{
    std::vector<const PptRecord*> found;
    for (const PptRecord& record : children)
        if (record.type == childType)
            found.push_back(&record);
    return found;
}

std::vector<PptRecord> walkRecords(const std::uint8_t* data, std::size_t size, std::size_t base,
                                   std::vector<std::string>& problems)
{
    std::vector<PptRecord> records;
    for (std::size_t pos = 0; pos < size;) {
        if (size - pos < 8) {
            problems.push_back("stray bytes at offset " + std::to_string(base + pos));
            break;
        }
        PptRecord record;
        record.version = data[pos] & 0xF;
        record.instance = static_cast<std::uint16_t>(u16(data + pos) >> 4);
        record.type = u16(data + pos + 2);
        record.length = u32(data + pos + 4);
        record.offset = base + pos;
        if (record.length > size - pos - 8) {
            problems.push_back("record " + hex(record.type) + " at offset " + std::to_string(record.offset) +
                               " overruns its container");
            break;
        }
        if (record.version == 0xF)
            record.children = walkRecords(data + pos + 8, record.length, base + pos + 8, problems);
        pos += 8 + record.length;
        records.push_back(std::move(record));
    }
    return records;
}

std::string PptFile::problemText() const
{
    std::string text;
    for (const std::string& problem : problems)
        text += problem + "; ";
    return text;
}

PptFile readPpt(const ByteVector& file)
{
    gsf_init();
    PptFile result;
    result.streams = readStreams(file, result.classId, result.problems);
    if (result.problems.empty())
        Reader(result).read();
    return result;
}

PptFile readPptStreams(std::map<std::string, ByteVector> streams)
{
    PptFile result;
    result.streams = std::move(streams);
    Reader(result).read();
    return result;
}

} // namespace kestrane::testing
