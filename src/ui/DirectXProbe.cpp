#include "ui/DirectXProbe.h"

#include <cctype>

DirectXProbe DirectXProbe::platform()
{
    DirectXProbe p;
    p.viaDxDiag = [](int&, int&, char&) { return E_FAIL; };
    // No system directory with DirectX libraries: "no DirectX" (0.0 without a letter).
    p.viaFileVersions = [](int& major, int& minor, char& letter) {
        major = 0;
        minor = 0;
        letter = ' ';
        return S_OK;
    };
    return p;
}

HRESULT GetDXVersion(std::uint32_t& dwDirectXVersion, QString& strDirectXVersion, const DirectXProbe& probe)
{
    dwDirectXVersion = 0;
    strDirectXVersion.clear();
    int major = 0, minor = 0;
    char letter = ' ';
    bool found = probe.viaDxDiag && probe.viaDxDiag(major, minor, letter) == S_OK;
    if (!found) {
        major = 0;
        minor = 0;
        letter = ' ';
        found = probe.viaFileVersions && probe.viaFileVersions(major, minor, letter) == S_OK;
    }
    if (!found)
        return E_FAIL;
    letter = char(std::tolower(static_cast<unsigned char>(letter)));
    if (major < 0 || major > 255 || minor < 0 || minor > 255)
        return E_FAIL;
    dwDirectXVersion = std::uint32_t((major * 256 + minor) * 256);
    if (letter >= 'a' && letter <= 'z')
        dwDirectXVersion += std::uint32_t(letter - 'a' + 1);
    if (dwDirectXVersion == 0)
        return S_OK;  // nothing found: an empty text
    strDirectXVersion = QStringLiteral("%1.%2").arg(major).arg(minor);
    if (letter != ' ' && letter != '\0')
        strDirectXVersion += QLatin1Char(letter);
    return S_OK;
}

std::uint32_t testdx(QString& Dxversion, const DirectXProbe& probe)
{
    std::uint32_t value = 0;
    QString text;
    if (GetDXVersion(value, text, probe) == S_OK)
        Dxversion = text;
    return value;
}

QString directXMessage(const DirectXProbe& probe)
{
    std::uint32_t value = 0;
    QString text;
    if (GetDXVersion(value, text, probe) != S_OK)
        return QStringLiteral("Unknown version of DirectX installed");
    if (value != 0)
        return QStringLiteral("DirectX %1 installed").arg(text);
    return QStringLiteral("DirectX not installed");
}
