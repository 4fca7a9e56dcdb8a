#pragma once
// Which DirectX version the computer has. DirectX exists only on Windows; elsewhere neither the
// diagnostics provider nor the system libraries are there, so the probe reports "none" (0), which
// leaves the joystick on the system's joystick messages. The sources are a seam so the version
// arithmetic is the same wherever they come from.

#include <QString>

#include <cstdint>
#include <functional>

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = std::int32_t(0x80004005u);

// One source of the version: major, minor and the letter (' ' without one); S_OK when all three
// were read.
using DirectXSource = std::function<HRESULT(int& major, int& minor, char& letter)>;

struct DirectXProbe {
    DirectXSource viaDxDiag;        // the diagnostics provider
    DirectXSource viaFileVersions;  // the system libraries' file versions
    // The probe of this platform: no provider, no system libraries.
    static DirectXProbe platform();
};

// dwDirectXVersion = major x 65536 + minor x 256 + letter number (a = 1 ...), 0 for none;
// strDirectXVersion "9.0", "8.1b", or empty for none. S_OK when a version was determined (also
// when none was found).
HRESULT GetDXVersion(std::uint32_t& dwDirectXVersion, QString& strDirectXVersion,
                     const DirectXProbe& probe = DirectXProbe::platform());

// Runs GetDXVersion; on success puts the version text into `Dxversion`. Returns dwDirectXVersion.
std::uint32_t testdx(QString& Dxversion, const DirectXProbe& probe = DirectXProbe::platform());

// The text "DirectX" of the help menu shows.
QString directXMessage(const DirectXProbe& probe = DirectXProbe::platform());
