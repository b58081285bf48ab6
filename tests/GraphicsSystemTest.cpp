#include "GraphicsSystem.h"

#include "ScreenWindow.h"
#include "TestSupport.h"

#include "SDL.h"

#include <map>
#include <set>

#include <dlfcn.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// The window size the media library is made to refuse, as a display out of memory would.
int refusedWidth = -1;

} // namespace

// Stands in for the library's own, which it calls for every other size.
extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    using SetVideoMode = SDL_Surface* (*)(int, int, int, Uint32);
    static const auto real = reinterpret_cast<SetVideoMode>(dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
    if (width == refusedWidth) {
        SDL_SetError("no memory for %d x %d", width, height);
        return nullptr;
    }
    return real(width, height, bpp, flags);
}

namespace {

class GraphicsSystemTest : public GraphicsTest {
protected:
    // The log lines written since the last call.
    std::vector<std::string> newLogLines() {
        std::vector<std::string> all = logLines();
        std::vector<std::string> fresh(all.begin() + seen, all.end());
        seen = all.size();
        return fresh;
    }

    // A font picture of 40 cells, w x h each, every cell filled white except a magenta
    // right half, so a glyph's left half marks where it was drawn.
    void writeFont(const std::string& name, int w, int h) {
        std::vector<std::string> rows(h, std::string());
        for (auto& row : rows) {
            for (std::size_t cell = 0; cell < gameCharset.size(); ++cell) {
                row += std::string(w / 2, 'w') + std::string(w - w / 2, 'm');
            }
        }
        writePixels(name, rows, {{'w', white}, {'m', magenta}});
    }

    std::size_t seen = 0;
};

} // namespace

TEST_F(GraphicsSystemTest, ScreenIsOpenAtTheRequestedSize) {
    EXPECT_TRUE(graphics->isOpen());
    EXPECT_EQ(graphics->getResX(), 256);
    EXPECT_EQ(graphics->getResY(), 240);
    EXPECT_EQ(graphics->getBPP(), SDL_GetVideoSurface()->format->BitsPerPixel);
    EXPECT_EQ(newLogLines(),
              std::vector<std::string>{"GraphicsSystem::GraphicsSystem(...) - Screen Created"});
}

TEST_F(GraphicsSystemTest, SecondGetImageIsACacheHitThatLogsNothing) {
    writeBands("a.bmp", 12, 5, {red});
    writeBands("b.bmp", 3, 2, {red});
    newLogLines();
    Image* first = graphics->getImage("a.bmp");
    Image* again = graphics->getImage("a.bmp");
    EXPECT_EQ(first, again);
    EXPECT_EQ(first->refCount, 1);
    EXPECT_EQ(first->width, 12);
    EXPECT_EQ(first->height, 5);
    graphics->getImage("b.bmp");
    EXPECT_EQ(newLogLines(), (std::vector<std::string>{
                                 "1", "Loading Resource: ./graphics/a.bmp", "Load Successful", "2",
                                 "Loading Resource: ./graphics/b.bmp", "Load Successful"}));
}

TEST_F(GraphicsSystemTest, FirstHonouredFreeReleasesAndTheNextDrawReloads) {
    writeBands("a.bmp", 4, 4, {red});
    graphics->getImage("a.bmp");
    graphics->getImage("a.bmp");
    newLogLines();
    graphics->freeImage("a.bmp", true);
    EXPECT_EQ(newLogLines(), std::vector<std::string>{"Freeing Resource: a.bmp"});
    graphics->freeImage("a.bmp", true);
    graphics->freeImage("never.bmp", false);
    EXPECT_TRUE(newLogLines().empty());
    graphics->drawImage("a.bmp", Rect{0, 0, 4, 4}, Rect{0, 0, 0, 0});
    EXPECT_EQ(newLogLines(), (std::vector<std::string>{"1", "Loading Resource: ./graphics/a.bmp",
                                                       "Load Successful"}));
    EXPECT_EQ(pixel(0, 0), asShown(red));
}

TEST_F(GraphicsSystemTest, ChangingTheDirectoryKeepsCachedNames) {
    writeBands("a.bmp", 4, 4, {red});
    Image* cached = graphics->getImage("a.bmp");
    graphics->setImageDirectory("./elsewhere/");
    EXPECT_EQ(graphics->getImage("a.bmp"), cached);
    newLogLines();
    graphics->getImage("b.bmp");
    EXPECT_EQ(newLogLines()[1], "Loading Resource: ./elsewhere/b.bmp");
}

TEST_F(GraphicsSystemTest, DrawCopiesTheSourceRectangleAndKeysOutMagenta) {
    writeBands("strip.bmp", 30, 4, {red, magenta, blue});
    graphics->clear();
    // Middle band is magenta: nothing lands there. The destination size is ignored.
    graphics->drawImage("strip.bmp", Rect{0, 0, 30, 4}, Rect{100, 50, 1, 1});
    EXPECT_EQ(pixel(100, 50), asShown(red));
    EXPECT_EQ(pixel(115, 53), asShown(black));
    EXPECT_EQ(pixel(129, 50), asShown(blue));
    EXPECT_EQ(pixel(130, 50), asShown(black));
    EXPECT_EQ(pixel(100, 54), asShown(black));
    // Only the chosen part of the picture is copied.
    graphics->drawImage("strip.bmp", Rect{20, 0, 10, 4}, Rect{0, 0, 0, 0});
    EXPECT_EQ(pixel(0, 0), asShown(blue));
    EXPECT_EQ(pixel(10, 0), asShown(black));
}

TEST_F(GraphicsSystemTest, EmptyOrOutsideSourceRectanglesCopyNothing) {
    writeBands("a.bmp", 8, 8, {green});
    graphics->clear();
    graphics->drawImage("a.bmp", Rect{0, 0, 0, 8}, Rect{0, 0, 0, 0});
    graphics->drawImage("a.bmp", Rect{0, 0, 8, 0}, Rect{20, 0, 0, 0});
    graphics->drawImage("a.bmp", Rect{40, 0, 8, 8}, Rect{40, 0, 0, 0});
    EXPECT_EQ(pixel(0, 0), asShown(black));
    EXPECT_EQ(pixel(20, 0), asShown(black));
    EXPECT_EQ(pixel(40, 0), asShown(black));
}

TEST_F(GraphicsSystemTest, ClearMakesEveryPixelBlack) {
    writeBands("a.bmp", 256, 240, {white});
    graphics->drawImage("a.bmp", Rect{0, 0, 256, 240}, Rect{0, 0, 0, 0});
    graphics->clear();
    for (int y = 0; y < 240; y += 7) {
        for (int x = 0; x < 256; x += 5) {
            ASSERT_EQ(pixel(x, y), asShown(black)) << x << "," << y;
        }
    }
}

TEST_F(GraphicsSystemTest, MissingOrUnreadablePictureIsLoggedOnceAndDrawsNothing) {
    writeFile("graphics/text.bmp", "this is not a bitmap");
    for (const std::string name : {"missing.bmp", "text.bmp"}) {
        newLogLines();
        Image* image = graphics->getImage(name);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 0);
        EXPECT_EQ(image->height, 0);
        std::vector<std::string> lines = newLogLines();
        ASSERT_EQ(lines.size(), 3u) << name;
        EXPECT_EQ(lines[1], "Loading Resource: ./graphics/" + name);
        EXPECT_EQ(lines[2].rfind("Load Failed: ./graphics/" + name + " - ", 0), 0u) << lines[2];
        EXPECT_GT(lines[2].size(), ("Load Failed: ./graphics/" + name + " - ").size());
        // Drawing every frame neither crashes nor goes back to the disk.
        for (int frame = 0; frame < 3; ++frame) {
            graphics->drawImage(name, Rect{0, 0, 10, 10}, Rect{0, 0, 0, 0});
        }
        EXPECT_TRUE(newLogLines().empty());
        graphics->freeImage(name, true);
        EXPECT_EQ(newLogLines(), std::vector<std::string>{"Freeing Resource: " + name});
    }
}

// The media library decodes the very bytes the check read: a file changed between the two
// cannot reach the loader unchecked.
TEST_F(GraphicsSystemTest, APictureFileIsOpenedOncePerLoad) {
    writeBands("a.bmp", 8, 4, {green});
    const int fd = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(inotify_add_watch(fd, "graphics", IN_OPEN), 0);
    EXPECT_EQ(graphics->getImage("a.bmp")->width, 8);
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            opens += std::string(event->name) == "a.bmp";
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(fd);
    EXPECT_EQ(opens, 1);
}

// Hand-made damaged files (tests/fuzz/make_damaged_pictures.py): the three marked crash made
// classic SDL 1.2 die with SIGSEGV; it refused some of the others by itself and read the rest
// as pictures they are not. Each is refused before SDL sees it, with the line of any picture
// that cannot be loaded; sound pictures of every depth and header still load.
TEST_F(GraphicsSystemTest, DamagedPicturesAreRefusedWithTheReasonAndSoundOnesLoad) {
    const std::map<std::string, std::string> pictures = {
        {"height-minus-2-to-the-31.bmp", "a size of 1000 x -2147483648 outside 1 to 8192"}, // crash
        {"4bit-height-minus-2-to-the-31.bmp",
         "a size of 1000 x -2147483648 outside 1 to 8192"}, // crash
        {"bits-per-pixel-2052.bmp", "2052 bits per pixel"}, // crash
        {"width-65535-core-header.bmp", "a size of 65535 x 1 outside 1 to 8192"},
        {"width-zero.bmp", "a size of 0 x 4 outside 1 to 8192"},
        {"bits-per-pixel-15.bmp", "15 bits per pixel"},
        {"two-planes.bmp", "2 planes"},
        {"header-size-41.bmp", "an unknown header size of 41"},
        {"not-bm.bmp", "not a Windows BMP file"},
        {"cut-in-the-header.bmp", "cut short in the header"},
        {"4bit-palette-into-the-pixels.bmp", "pixels that overlap the header or the palette"},
        {"8bit-without-palette.bmp", "a palette past the end of the file"},
        {"8bit-300-colours.bmp", "300 colours at 8 bits per pixel"},
        {"palette-past-the-end.bmp", "a palette past the end of the file"},
        {"pixels-past-the-end.bmp", "pixels past the end of the file"},
        {"offset-past-the-end.bmp", "pixels past the end of the file"},
        {"rle8-on-24bit.bmp", "compression 1 at 24 bits per pixel"},
        {"bitfields-on-24bit.bmp", "compression 3 at 24 bits per pixel"},
        {"compression-99.bmp", "compression 99 at 16 bits per pixel"},
        {"16bit-empty-masks.bmp", "an empty colour mask"},
        {"16bit-scattered-masks.bmp", "a colour mask in pieces"},
        {"32bit-masks-wider-than-a-byte.bmp", "a colour mask of more than 8 bits"},
        {"16bit-mask-beyond-the-depth.bmp", "a colour mask wider than the pixel"},
        {"32bit-gap-read-as-masks.bmp",
         "a gap before uncompressed pixels read as other colour masks"},
        {"16bit-masks-sharing-bits.bmp", "colour masks that share bits"},
        {"16bit-gap-read-as-5-6-5.bmp",
         "a gap before uncompressed pixels read as other colour masks"},
        {"32bit-gap-read-as-swapped-masks.bmp",
         "a gap before uncompressed pixels read as other colour masks"},
        {"8bit-palette-behind-a-v4-header.bmp", "a palette behind a header of 108 bytes"},
        {"4bit-palette-behind-a-v5-header.bmp", "a palette behind a header of 124 bytes"},
        {"sound-24bit.bmp", ""},
        {"sound-8bit.bmp", ""},
        {"sound-4bit-16-colours.bmp", ""},
        {"sound-4bit-before-a-second-header.bmp", ""},
        {"sound-1bit-core-header.bmp", ""},
        {"sound-16bit-bitfields.bmp", ""},
        {"sound-32bit-top-down-v4.bmp", ""},
        {"sound-32bit-gap-without-masks.bmp", ""},
        {"sound-16bit-gap-holding-its-masks.bmp", ""},
        {"sound-32bit-gap-holding-its-masks.bmp", ""},
    };
    std::set<std::string> inFolder;
    for (const auto& entry : std::filesystem::directory_iterator(ZANDOREL_DAMAGED_PICTURES)) {
        inFolder.insert(entry.path().filename().string());
        std::filesystem::copy_file(entry.path(), "graphics/" + entry.path().filename().string());
    }
    std::set<std::string> inTable;
    for (const auto& [name, problem] : pictures) {
        SCOPED_TRACE(name);
        inTable.insert(name);
        newLogLines();
        const Image* image = graphics->getImage(name);
        graphics->drawImage(name, Rect{0, 0, 16, 16}, Rect{0, 0, 0, 0});
        const std::vector<std::string> lines = newLogLines();
        ASSERT_EQ(lines.size(), 3u);
        if (problem.empty()) {
            EXPECT_EQ(lines[2], "Load Successful");
            EXPECT_GT(image->width, 0);
        } else {
            EXPECT_EQ(lines[2], "Load Failed: ./graphics/" + name + " - " + problem);
            EXPECT_EQ(image->width, 0);
        }
    }
    EXPECT_EQ(inTable, inFolder);
}

TEST_F(GraphicsSystemTest, DestructionFreesEveryPictureInNameOrder) {
    for (const char* name : {"c.bmp", "a.bmp", "b.bmp"}) {
        writeBands(name, 2, 2, {red});
        graphics->getImage(name);
    }
    newLogLines();
    delete graphics;
    graphics = nullptr;
    EXPECT_EQ(newLogLines(),
              (std::vector<std::string>{"Freeing Resource: a.bmp", "Freeing Resource: b.bmp",
                                        "Freeing Resource: c.bmp"}));
}

TEST_F(GraphicsSystemTest, FontCellsFollowThePenWhateverIsDrawn) {
    writeFont("font.bmp", 8, 6);
    graphics->createFont(7, "font.bmp", gameCharset);
    EXPECT_EQ(graphics->getFontWidth(7), 8);
    EXPECT_EQ(graphics->getFontHeight(7), 6);
    graphics->clear();
    graphics->drawString(7, "HELLO WORLD", 10, 20);
    // H at 10, space (not in the charset) is a blank cell at 50, W at 10 + 6 * 8.
    EXPECT_EQ(pixel(10, 20), asShown(white));
    EXPECT_EQ(pixel(14, 20), asShown(black)); // magenta half keyed out
    EXPECT_EQ(pixel(50, 20), asShown(black));
    EXPECT_EQ(pixel(58, 25), asShown(white));
    EXPECT_EQ(pixel(58, 26), asShown(black));
    EXPECT_EQ(pixel(90, 20), asShown(white)); // D, the eleventh cell
    EXPECT_EQ(pixel(98, 20), asShown(black));
}

TEST_F(GraphicsSystemTest, FontGlyphIsCutFromItsOwnCell) {
    // Cells alternate colours so the cell a character comes from shows on screen.
    std::vector<Colour> cells;
    for (std::size_t i = 0; i < gameCharset.size(); ++i) {
        cells.push_back(i % 2 == 0 ? red : blue);
    }
    writeBands("font.bmp", 8 * 40 + 5, 4, cells); // leftover columns are never used
    graphics->createFont(6, "font.bmp", gameCharset + "A");
    EXPECT_EQ(graphics->getFontWidth(6), (8 * 40 + 5) / 41);
    graphics->removeFont(6);
    graphics->createFont(6, "font.bmp", gameCharset);
    EXPECT_EQ(graphics->getFontWidth(6), 8);
    graphics->clear();
    graphics->drawString(6, "AB0", 0, 0);
    EXPECT_EQ(pixel(0, 0), asShown(red));
    EXPECT_EQ(pixel(8, 0), asShown(blue));
    EXPECT_EQ(pixel(16, 0), asShown(blue)); // "0" is cell 39
}

TEST_F(GraphicsSystemTest, LowerCaseAndEmptyTextDrawNothing) {
    writeFont("font.bmp", 8, 6);
    graphics->createFont(7, "font.bmp", gameCharset);
    graphics->clear();
    graphics->drawString(7, "abc", 0, 0);
    graphics->drawString(7, "", 0, 0);
    for (int x = 0; x < 24; ++x) {
        EXPECT_EQ(pixel(x, 0), asShown(black)) << x;
    }
}

TEST_F(GraphicsSystemTest, NewestFontDrawsAndOldestIsRemovedFirst) {
    writeFont("big.bmp", 8, 10);
    writeFont("small.bmp", 4, 3);
    graphics->createFont(7, "big.bmp", gameCharset);
    graphics->createFont(7, "small.bmp", gameCharset);
    EXPECT_EQ(graphics->getFontHeight(7), 3);
    graphics->removeFont(7); // takes big.bmp away
    EXPECT_EQ(graphics->getFontHeight(7), 3);
    graphics->removeFont(7);
    EXPECT_EQ(graphics->getFontWidth(7), 0);
    EXPECT_EQ(graphics->getFontHeight(7), 0);
    graphics->removeFont(7);
    graphics->drawString(7, "A", 0, 0); // unknown id: nothing happens
}

TEST_F(GraphicsSystemTest, TwinFontSurvivesRemovalOfItsTwin) {
    writeFont("font.bmp", 8, 6);
    graphics->createFont(7, "font.bmp", gameCharset);
    graphics->createFont(7, "font.bmp", gameCharset);
    graphics->removeFont(7); // releases the shared picture
    graphics->clear();
    graphics->drawString(7, "A", 0, 0);
    EXPECT_EQ(pixel(0, 0), asShown(white));
}

TEST_F(GraphicsSystemTest, FontWithEmptyCharsetIsRefusedAndLogged) {
    writeFont("font.bmp", 8, 6);
    newLogLines();
    graphics->createFont(3, "font.bmp", "");
    EXPECT_EQ(graphics->getFontWidth(3), 0);
    graphics->drawString(3, "AAAA", 0, 0);
    std::vector<std::string> lines = newLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("empty character set"), std::string::npos) << lines[0];
}

TEST_F(GraphicsSystemTest, FontWhosePictureIsMissingMeasuresZeroAndDrawsNothing) {
    graphics->createFont(7, "nofont.bmp", gameCharset);
    EXPECT_EQ(graphics->getFontWidth(7), 0);
    EXPECT_EQ(graphics->getFontHeight(7), 0);
    graphics->clear();
    graphics->drawString(7, "ABC", 0, 0);
    EXPECT_EQ(pixel(0, 0), asShown(black));
}

TEST(GraphicsSystemFailureTest, ScreenThatCannotOpenIsReportedAndHarmless) {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    SDL_Init(SDL_INIT_VIDEO);
    {
        GraphicsSystem graphics(256, 240, 16, false);
        EXPECT_FALSE(graphics.isOpen());
        EXPECT_EQ(graphics.getBPP(), 0);
        graphics.clear();
        graphics.drawImage("x.bmp", Rect{0, 0, 1, 1}, Rect{0, 0, 0, 0});
        graphics.flip();
    }
    SDL_Quit();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
}

TEST_F(GraphicsSystemTest, FlipShowsAChangedPictureInSquaresOnBlackAndAnUnchangedOneNotAgain) {
    writeBands("a.bmp", 2, 1, {red, blue});
    windowResized(800, 600); // 2 x, the picture from (144, 60)
    SDL_Surface* window = SDL_GetVideoSurface();
    auto shown = [window](int x, int y) {
        SDL_LockSurface(window);
        const Colour colour = surfacePixel(window, x, y);
        SDL_UnlockSurface(window);
        return colour;
    };
    auto pass = [this](int x) {
        graphics->clear();
        graphics->drawImage("a.bmp", Rect{0, 0, 2, 1}, Rect{x, 20, 0, 0});
        graphics->flip();
    };
    auto scribble = [window] {
        SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 0, 255, 0));
    };
    pass(10);
    for (int d : {0, 1, 2, 3}) {
        EXPECT_EQ(shown(164 + d % 2, 100 + d / 2), asShown(red)) << d;
        EXPECT_EQ(shown(166 + d % 2, 100 + d / 2), asShown(blue)) << d;
    }
    EXPECT_EQ(shown(163, 100), black);
    EXPECT_EQ(shown(0, 0), black);
    EXPECT_EQ(shown(799, 599), black);
    scribble();
    pass(10);
    EXPECT_EQ(shown(164, 100), asShown(green)) << "an unchanged picture was sent again";
    pass(11);
    EXPECT_EQ(shown(166, 101), asShown(red)) << "a changed picture waited";
    scribble();
    windowExposed();
    pass(11);
    EXPECT_EQ(shown(167, 100), asShown(red)) << "an uncovered window stayed as it was";
}

TEST_F(GraphicsSystemTest, AWindowThatCannotTakeItsNewSizeShowsTheGameAtItsOldOneAndSaysWhyOnce) {
    writeBands("a.bmp", 1, 1, {red});
    windowResized(800, 600); // 2 x
    newLogLines();
    refusedWidth = 1000;
    testing::internal::CaptureStderr();
    windowResized(1000, 760);
    windowResized(1000, 700);
    const std::string said = testing::internal::GetCapturedStderr();
    refusedWidth = -1;
    EXPECT_EQ(said, "zandorel: the window cannot be 1000 x 760 (no memory for 1000 x 760): it "
                    "shows the game at 800 x 600.\n");
    EXPECT_EQ(newLogLines(), std::vector<std::string>{});
    SDL_Surface* window = SDL_GetVideoSurface();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->w, 800);
    graphics->clear();
    graphics->drawImage("a.bmp", Rect{0, 0, 1, 1}, Rect{10, 20, 0, 0});
    graphics->flip();
    SDL_LockSurface(window);
    EXPECT_EQ(surfacePixel(window, 144 + 21, 60 + 41), asShown(red));
    SDL_UnlockSurface(window);
    int x = 144 + 21;
    int y = 60 + 41;
    toPicturePixel(x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(10, 20)) << "the pointer maps to the picture as shown";
}
