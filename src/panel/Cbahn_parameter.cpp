#include "panel/Cbahn.h"

#include "base/ParameterFile.h"

QString Cbahn::getDataPath() const
{
    return ParameterFile::dataPath(m_main);
}

QString Cbahn::getLayoutPath() const
{
    return ParameterFile::layoutPath(m_main);
}

void Cbahn::parameterladen()
{
    ParameterFile::load(ParameterFile::filePath(m_main), m_main, m_lok);
}

void Cbahn::parameterspeichern()
{
    ParameterFile::save(ParameterFile::filePath(m_main), m_main, m_lok);
}
