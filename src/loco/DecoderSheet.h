#pragma once
// What the decoder programming window shows of one decoder: the common CVs with their names,
// meanings and ranges, the values as the decoder holds them (read, written or loaded) and as the
// user edited them, and the requests that read them all or write what changed. CV 29 is written
// bit by bit (only the bits that changed), the long address as CV 17 and CV 18.

#include "moba/TMoBaSRCPProgrammer.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

struct CommonCv {
    int cv;
    int nameId;     // message id of its name
    int meaningId;  // message id of what it does
    int min;
    int max;
    bool readOnly;
};

// CV 1 to 8, 17, 18 and 29, in that order.
const std::vector<CommonCv>& commonCvs();

// The bits of CV 29 the window offers, with their message ids.
struct Cv29Bit {
    int bit;
    int nameId;
};
const std::vector<Cv29Bit>& cv29Bits();

// The maker's name for an NMRA manufacturer number (CV 8), or nothing for a number not listed.
std::optional<QString> manufacturerName(int id);

// Long address <-> CV 17/18 (128 to 10239).
constexpr int LongAddressMin = 128;
constexpr int LongAddressMax = 10239;
int longAddressOf(int cv17, int cv18);
std::pair<int, int> longAddressCvs(int address);

class DecoderSheet {
public:
    // What the decoder holds (read, written, or loaded from a file); the edited value follows.
    void setKnown(int cv, int value);
    // A bit of a known CV changed on the decoder (a CVBIT write or read).
    void setKnownBit(int cv, int bit, int value);
    void setEdited(int cv, int value);
    void setEditedBit(int cv, int bit, bool on);
    void setEditedLongAddress(int address);

    std::optional<int> known(int cv) const;
    // The edited value, or the known one, or nothing.
    std::optional<int> edited(int cv) const;
    bool changed(int cv) const;
    // Every CV with a value (known or edited), for a file.
    std::map<int, int> values() const;
    void clear();
    // The decoder's value of `cv` is unknown again (and no edit of it is left).
    void forget(int cv);

    // Requests that read every common CV, tagged with their CV number.
    static std::vector<SmRequest> readAllRequests();
    // Requests that write what the user changed: CV 29 one CVBIT write per changed bit (the whole
    // byte when its old value is unknown), read-only CVs never.
    std::vector<SmRequest> writeChangedRequests() const;
    // A request done: the decoder now holds what it wrote or read.
    void applied(const SmResult& result);

private:
    std::map<int, int> m_known;
    std::map<int, int> m_edited;
};
