"""What the end-to-end tests share: a virtual X server, the real game binary in a fresh
working folder, a small data set of flat-coloured pictures, real input through xdotool, and
screenshots read back pixel by pixel.

A Windows build (a binary whose name ends in .exe) is played the same way under Wine.

Every wait is bounded and says what it waited for. Every process started here is killed when
its test ends, and dies with this driver if the driver itself is killed (PR_SET_PDEATHSIG);
under Wine, the Wine server of the prefix is stopped with the game.
"""

from .common import *  # noqa: F401,F403
from .common import _die_with_parent, _stop  # noqa: F401
from .diagnostics import *  # noqa: F401,F403
from .game import *  # noqa: F401,F403
from .pictures import *  # noqa: F401,F403
from .real_screens import *  # noqa: F401,F403
from .wine import *  # noqa: F401,F403
from .xserver import *  # noqa: F401,F403
