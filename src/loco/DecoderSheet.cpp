#include "loco/DecoderSheet.h"

#include <algorithm>

const std::vector<CommonCv>& commonCvs()
{
    static const std::vector<CommonCv> cvs = {
        {1, 704, 750, 1, 127, false},  {2, 705, 751, 0, 255, false}, {3, 706, 752, 0, 255, false},
        {4, 707, 753, 0, 255, false},  {5, 708, 754, 0, 255, false}, {6, 709, 755, 0, 255, false},
        {7, 710, 756, 0, 255, true},   {8, 711, 757, 0, 255, true},  {17, 712, 758, 192, 231, false},
        {18, 712, 758, 0, 255, false}, {29, 713, 759, 0, 255, false},
    };
    return cvs;
}

const std::vector<Cv29Bit>& cv29Bits()
{
    static const std::vector<Cv29Bit> bits = {{0, 714}, {1, 715}, {2, 716}, {4, 717}, {5, 718}};
    return bits;
}

std::optional<QString> manufacturerName(int id)
{
    // A selection of the NMRA manufacturer identification numbers.
    static const std::map<int, const char*> names = {
        {11, "NCE"},
        {13, "Public domain & do-it-yourself decoders"},
        {62, "Tams Elektronik"},
        {85, "Uhlenbrock"},
        {97, "Doehler & Haass"},
        {99, "Lenz Elektronik"},
        {129, "Digitrax"},
        {131, "Märklin"},
        {141, "SoundTraxx"},
        {145, "Zimo"},
        {151, "ESU"},
        {153, "Train Control Systems"},
    };
    if (auto it = names.find(id); it != names.end())
        return QString::fromUtf8(it->second);
    return std::nullopt;
}

int longAddressOf(int cv17, int cv18)
{
    return ((cv17 & 0x3F) << 8) | (cv18 & 0xFF);
}

std::pair<int, int> longAddressCvs(int address)
{
    return {192 + ((address >> 8) & 0x3F), address & 0xFF};
}

void DecoderSheet::setKnown(int cv, int value)
{
    m_known[cv] = value;
    m_edited.erase(cv);
}

void DecoderSheet::setKnownBit(int cv, int bit, int value)
{
    const int mask = 1 << bit;
    if (auto k = known(cv))
        m_known[cv] = value ? (*k | mask) : (*k & ~mask);
    if (auto it = m_edited.find(cv); it != m_edited.end()) {
        it->second = value ? (it->second | mask) : (it->second & ~mask);
        if (auto k = known(cv); k && *k == it->second)
            m_edited.erase(it);
    }
}

void DecoderSheet::setEdited(int cv, int value)
{
    if (auto k = known(cv); k && *k == value)
        m_edited.erase(cv);
    else
        m_edited[cv] = value;
}

void DecoderSheet::setEditedBit(int cv, int bit, bool on)
{
    const int base = edited(cv).value_or(0);
    setEdited(cv, on ? (base | (1 << bit)) : (base & ~(1 << bit)));
}

void DecoderSheet::setEditedLongAddress(int address)
{
    const auto [cv17, cv18] = longAddressCvs(address);
    setEdited(17, cv17);
    setEdited(18, cv18);
}

std::optional<int> DecoderSheet::known(int cv) const
{
    if (auto it = m_known.find(cv); it != m_known.end())
        return it->second;
    return std::nullopt;
}

std::optional<int> DecoderSheet::edited(int cv) const
{
    if (auto it = m_edited.find(cv); it != m_edited.end())
        return it->second;
    return known(cv);
}

bool DecoderSheet::changed(int cv) const
{
    return m_edited.count(cv) > 0;
}

std::map<int, int> DecoderSheet::values() const
{
    std::map<int, int> all = m_known;
    for (const auto& [cv, v] : m_edited)
        all[cv] = v;
    return all;
}

void DecoderSheet::clear()
{
    m_known.clear();
    m_edited.clear();
}

void DecoderSheet::forget(int cv)
{
    m_known.erase(cv);
    m_edited.erase(cv);
}

std::vector<SmRequest> DecoderSheet::readAllRequests()
{
    std::vector<SmRequest> requests;
    for (const CommonCv& c : commonCvs())
        requests.push_back({SmOp::Read, smtCV, c.cv, -1, -1, c.cv});
    return requests;
}

std::vector<SmRequest> DecoderSheet::writeChangedRequests() const
{
    std::vector<SmRequest> requests;
    for (const auto& [cv, value] : m_edited) {
        const bool readOnly = std::any_of(commonCvs().begin(), commonCvs().end(),
                                          [cv = cv](const CommonCv& c) { return c.cv == cv && c.readOnly; });
        if (readOnly)
            continue;
        const auto old = known(cv);
        if (cv == 29 && old) {
            for (int bit = 0; bit < 8; ++bit)
                if (((*old ^ value) >> bit) & 1)
                    requests.push_back({SmOp::Write, smtCVBit, 29, bit, (value >> bit) & 1, 29});
            continue;
        }
        requests.push_back({SmOp::Write, smtCV, cv, -1, value, cv});
    }
    // The long address before the bit that switches it on, so the loco never answers to half of it.
    std::stable_sort(requests.begin(), requests.end(),
                     [](const SmRequest& a, const SmRequest& b) { return a.number != 29 && b.number == 29; });
    return requests;
}

void DecoderSheet::applied(const SmResult& result)
{
    if (result.request.type == smtReg)
        return;
    // A verify that differs tells what the decoder holds, when it could be read back.
    if (!result.ok && result.request.op == SmOp::Verify && result.failure == SmFailure::WrongValue &&
        result.value >= 0) {
        if (result.request.type == smtCVBit)
            setKnownBit(result.request.number, result.request.bit, result.value);
        else
            setKnown(result.request.number, result.value);
        return;
    }
    if (!result.ok)
        return;
    if (result.request.type == smtCVBit)
        setKnownBit(result.request.number, result.request.bit, result.value);
    else
        setKnown(result.request.number, result.value);
}
