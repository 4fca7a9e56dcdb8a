#include "app/C_Init.h"

#include "base/AppState.h"
#include "base/PositionTable.h"
#include "base/TLok.h"
#include "panel/C_fahr.h"
#include "base/C_language.h"

#include <QImage>

C_Init::C_Init(AppState& main) : m_main(main)
{
    m_fahr = std::make_unique<C_fahr>(main);
    Fahr = m_fahr.get();

    m_lang = std::make_unique<C_language>();
    Lang = m_lang.get();

    main.Quarn_bitmap = QImage(main.Quarnbreite, main.Quarnhoehe, QImage::Format_RGB32);
    main.Design_Panel_bitmap = QImage(main.Panelbreite, main.Panelhoehe, QImage::Format_RGB32);
    main.Cache = QImage(27, 27, QImage::Format_RGB32);
    main.Rueck_cache = QImage(27, 27, QImage::Format_RGB32);
    main.Undo = QImage(27, 27, QImage::Format_RGB32);

    m_lok = std::make_unique<TLok>();
    Lok = m_lok.get();
}

C_Init::~C_Init()
{
    m_main.Textliste.clear();
    m_main.Movelist.clear();
    m_main.Quarn_bitmap = QImage();
    m_main.Design_Panel_bitmap = QImage();
    m_main.Cache = QImage();
    m_main.Rueck_cache = QImage();
    m_main.Undo = QImage();

    if (Fahr == m_fahr.get())
        Fahr = nullptr;
    m_fahr.reset();
    if (Lang == m_lang.get())
        Lang = nullptr;
    m_lang.reset();
    if (Lok == m_lok.get())
        Lok = nullptr;
    m_lok.reset();
}
