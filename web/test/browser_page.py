"""The page's own groups of the browser test (run by browser_test.py, whose
helpers they use): axe-core in every state the test visits, in both themes;
the tabs; the status region; any width and the dark theme; typing speed."""
import base64, json, os, re, sys, time

bt = sys.modules['__main__']   # browser_test.py, run as the program
from __main__ import check, click, load, press, put_source, wait  # noqa: E402


def choose(browser, name):
    """An example chosen from the menu, as the student does: shown and assembled."""
    browser.js(f"(m => {{ m.value = {json.dumps(name)}; m.dispatchEvent(new Event('change')); }})"
               "(document.getElementById('examples'))")


def axe_violations(browser):
    """Every violation axe-core finds on the page shown (all its rules), or
    None when axe-core is not installed."""
    axe = os.path.join(os.path.dirname(bt.BIN), 'axe', 'node_modules', 'axe-core', 'axe.min.js')
    if not os.path.exists(axe):
        return None
    browser.js(open(axe).read() + ';0')
    return browser.js("axe.run(document).then((r) => r.violations.map((v) => v.id + ' (' + v.impact + '): ' + "
                      "v.nodes.map((n) => n.target.join(' ')).join(', ')))")


def load_in(browser, url, theme):
    """Opens url in a fresh tab whose system theme is theme (no switch chosen)."""
    load(browser, url)
    browser.send('Emulation.setEmulatedMedia', features=[{'name': 'prefers-color-scheme', 'value': theme}])
    time.sleep(0.1)


def axe_states(browser, work, url):
    """axe in light and dark in the states the page goes through: loaded, an
    assembly error, stepping, a stop, a finding shown, the symbols, the
    notices, a wait for a key, the widget and the course page; the tabs'
    keys; the status region during a run."""
    states = []

    def look(what):
        found = axe_violations(browser)
        if found is not None:
            states.append(what)
            check(found == [], f'axe, {what}: {found}')

    for theme in ('light', 'dark'):
        load_in(browser, url + '#code=%%%', theme)
        look(f'{theme}: a link that failed')
        put_source(browser, 'ldi 1\njmp nowhere\n')
        look(f'{theme}: an assembly error')
        choose(browser, 'count.asm')
        browser.js("document.querySelector('#gutter [data-code]').click()")
        click(browser, 'step', 3)
        look(f'{theme}: stepping, a breakpoint set')
        browser.js("document.getElementById('memory-format').value = 'decimal';"
                   "document.getElementById('memory-format').dispatchEvent(new Event('change'))")
        click(browser, 'run')
        wait(browser, {'halted'})
        look(f'{theme}: halted, heat shown, memory in decimal')
        browser.js("document.querySelector('.tab[data-pane=\"symbols\"]').click()")
        look(f'{theme}: the symbols')
        put_source(browser, 'ldi 1\nadd\nhlt\n')
        click(browser, 'run')
        wait(browser, {'stopped'})
        look(f'{theme}: a stop of the machine')
        put_source(browser, '        ldi 3\n        call f\n        hlt\n[f      pop\n        ret\n')
        click(browser, 'run')
        wait(browser, {'finding', 'stopped', 'halted'})
        browser.js("document.querySelector('.tab[data-pane=\"findings\"]').click()")
        look(f'{theme}: a finding shown')
        browser.js("document.getElementById('tab-notice').hidden = false")
        look(f'{theme}: the other tab\'s notice')
        choose(browser, 'keywait.asm')
        click(browser, 'run')
        wait(browser, {'waiting'})
        look(f'{theme}: waiting for a key')
        load_in(browser, url + 'embed.html#example=count.asm', theme)
        look(f'{theme}: the widget')
        click(browser, 'run')
        wait(browser, {'halted'})
        look(f'{theme}: the widget, halted')
        load_in(browser, url + 'course-page-example.html', theme)
        time.sleep(1)
        look(f'{theme}: the course page')
    print('axe: ' + ('; '.join(states) if states else 'skipped, axe-core is not installed'))
    tabs(browser, url)
    announcements(browser, url)


# The tabs' state: [focused pane, shown pane, selected tabs, tabs in the Tab order, pane of each tab].
TABS = '''(() => { const tabs = [...document.querySelectorAll('[role="tab"]')];
  return [document.activeElement.dataset.pane,
    [...document.querySelectorAll('[role="tabpanel"]')].filter((p) => !p.classList.contains('hidden')).map((p) => p.id),
    tabs.filter((t) => t.getAttribute('aria-selected') === 'true').map((t) => t.dataset.pane),
    tabs.filter((t) => t.tabIndex === 0).map((t) => t.dataset.pane),
    tabs.map((t) => t.getAttribute('aria-controls'))]; })()'''


def tabs(browser, url):
    """The Listing, Symbols and Findings tabs as a tab list: arrow keys round
    the ends, Home and End, one tab in the Tab order, the selected one."""
    load(browser, url)
    browser.js("document.querySelector('.tab[data-pane=\"listing\"]').focus()")
    seen = []
    for key, code in (('ArrowRight', 39), ('ArrowRight', 39), ('ArrowRight', 39), ('ArrowLeft', 37), ('End', 35),
                      ('Home', 36)):
        press(browser, key, code)
        seen.append(browser.js(TABS))
    expected = [[p, [p], [p], [p], ['listing', 'symbols', 'findings']]
                for p in ('symbols', 'findings', 'listing', 'findings', 'findings', 'listing')]
    check(seen == expected, f'the tabs\' keys: {seen}')


def announcements(browser, url):
    """The status region speaks at a run's start and end, not each frame: its
    changes counted over a 5-second run."""
    load(browser, url)
    put_source(browser, '[spin jmp spin\n')
    browser.js("window.changes = []; new MutationObserver(() => changes.push("
               "document.getElementById('status').textContent)).observe("
               "document.getElementById('status'), {childList: true, characterData: true, subtree: true})")
    click(browser, 'run')
    time.sleep(5)
    click(browser, 'stop')
    time.sleep(0.2)
    changes = browser.js('changes')
    print(f'status: {len(changes)} changes in a 5-second run')
    check(1 <= len(changes) <= 3 and changes[-1].startswith('Stopped by you'),
          f'the status changed {len(changes)} times in a 5-second run: {changes}')


# Whether the toolbar's controls share one row, and a row of the decimal
# memory view is no wider than its box.
FITS = '''(() => {
  const key = document.getElementById('key');
  key.hidden = false;   // as while a run waits for a key
  const boxes = [...document.querySelector('.toolbar').children].filter((e) => e.getClientRects().length)
    .map((e) => e.getBoundingClientRect());
  key.hidden = true;
  const format = document.getElementById('memory-format');
  format.value = 'decimal';
  format.dispatchEvent(new Event('change'));
  const memory = document.getElementById('memory');
  const widest = Math.max(...[...memory.querySelectorAll('#memory-rows div')].map((e) => e.scrollWidth));
  format.value = 'hex';
  format.dispatchEvent(new Event('change'));
  return [Math.max(...boxes.map((b) => b.top)) < Math.min(...boxes.map((b) => b.bottom)), widest <= memory.clientWidth];
})()'''


def layout(browser, work, url):
    """Any width from 360 px without scrolling sideways; the dark theme by the
    system's choice and by the switch, remembered; screenshots of both
    themes at 1280x800 and 390x844 beside the main screenshot."""
    background = "getComputedStyle(document.body).backgroundColor"
    for dark in (False, True):
        load(browser, url)
        browser.send('Emulation.setEmulatedMedia',
                     features=[{'name': 'prefers-color-scheme', 'value': 'dark' if dark else 'light'}])
        browser.js("localStorage.removeItem('playground.theme'); location.reload()")
        time.sleep(0.5)
        wait(browser, {'ready'}, 30)
        check(browser.js('document.documentElement.dataset.theme') == ('dark' if dark else 'light'),
              f'the theme follows the system (dark {dark})')
        channels = [int(c) for c in re.findall(r'\d+', browser.js(background))[:3]]
        check((max(channels) < 60) if dark else (min(channels) > 200), f'the page\'s background: {channels}')
        choose(browser, 'count.asm')
        click(browser, 'run')
        wait(browser, {'halted'})
        for width, height in ((1280, 800), (1100, 800), (390, 844), (360, 740)):
            browser.send('Emulation.setDeviceMetricsOverride', width=width, height=height, deviceScaleFactor=1,
                         mobile=width < 500)
            time.sleep(0.3)
            wide = browser.js('document.documentElement.scrollWidth')
            check(wide <= width, f'{width} px wide: the page is {wide} px wide')
            menu = browser.js("(m => { m.open = true; const box = m.querySelector('.menu').getBoundingClientRect(); "
                              "m.open = false; return [box.left, box.right]; })(document.getElementById('file-menu'))")
            check(0 <= menu[0] and menu[1] <= width, f'{width} px wide: the open file menu lies at {menu}')
            if width == 1280:
                fits = browser.js(FITS)
                check(fits == [True, True], f'1280 px: the toolbar in one row, the decimal memory in its box: {fits}')
            if width in (1280, 390):
                shot = base64.b64decode(browser.send('Page.captureScreenshot', format='png')['data'])
                name = os.path.join(os.path.dirname(bt.SCREENSHOT), f'layout-{width}x{height}-{"dark" if dark else "light"}.png')
                with open(name, 'wb') as f:
                    f.write(shot)
        browser.send('Emulation.clearDeviceMetricsOverride')
    print(f'layout: screenshots {os.path.dirname(bt.SCREENSHOT)}/layout-*.png')
    chosen = 'light' if browser.js('document.documentElement.dataset.theme') == 'dark' else 'dark'
    click(browser, 'theme')
    load(browser, url)
    check(browser.js('document.documentElement.dataset.theme') == chosen, f'the theme switch is remembered ({chosen})')
    browser.js("localStorage.removeItem('playground.theme')")
    browser.send('Emulation.setEmulatedMedia', features=[{'name': 'prefers-color-scheme', 'value': 'light'}])

# One keystroke's time: the page's script (ScriptDuration) from the key to
# the second frame after it, and the wall time to that frame.
FRAME = 'new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => done(0))))'


def long_program(lines):
    """A program of about `lines` lines that assembles and halts: labels,
    instructions, numbers and comments, as a student's would be."""
    rows = []
    while len(rows) < lines - 1:
        n = len(rows)
        rows += [f'[l{n}    ldi {n % 200}       ; the value {n}', '        out 0', f'        jmp m{n}',
                 f'[m{n}    nop']
    return '\n'.join(rows[:lines - 1] + ['        hlt']) + '\n'


def typing(browser, work, url):
    """Keystrokes in the middle of a 1,000-line and a 5,000-line program that
    has run (its heat and marks shown): letters, Enter and Backspace, each
    timed by the page's script time up to the frame after it."""
    load(browser, url)
    browser.send('Performance.enable')

    def script():
        return next(m['value'] for m in browser.send('Performance.getMetrics')['metrics']
                    if m['name'] == 'ScriptDuration')

    results = []
    for lines in (1000, 5000):
        source = long_program(lines)
        browser.js(f'playground.setSource({json.dumps(source)})')
        click(browser, 'assemble')
        click(browser, 'run')
        wait(browser, {'halted'})
        at = len('\n'.join(source.splitlines()[:lines // 2])) + 1
        browser.js(f"(s => {{ s.focus(); s.setSelectionRange({at}, {at}); }})(document.getElementById('source'))")
        time.sleep(0.5)   # the heat column counted and drawn
        times, walls = [], []
        for key in ['x'] * 6 + ['Enter', 'y', 'Backspace', 'Backspace']:
            browser.js(FRAME)
            started, wall = script(), time.time()
            if key == 'Backspace':
                for kind in ('keyDown', 'keyUp'):
                    browser.send('Input.dispatchKeyEvent', type=kind, key=key, code=key, windowsVirtualKeyCode=8)
            else:
                browser.send('Input.insertText', text='\n' if key == 'Enter' else key)
            browser.js(FRAME)
            times.append((1000 * (script() - started), key))
            walls.append(1000 * (time.time() - wall))
        typed = browser.js("document.getElementById('source').value")
        expected = source[:at] + 'xxxxxx' + source[at:]
        check(typed == expected, f'{lines} lines: the keystrokes typed {typed[at - 20:at + 20]!r}')
        shown = browser.js("[...document.getElementById('highlight').children].map((e) => e.textContent).join('\\n')")
        check(shown == expected + '\n',
              f'{lines} lines: the colours show the text typed: {shown[at - 20:at + 20]!r}')
        times.sort()
        walls.sort()
        results.append(times[len(times) // 2][0])
        print(f'keystroke on {lines:,} lines: script median {results[-1]:.1f} ms, worst {times[-1][0]:.1f} ms '
              f'({times[-1][1]}); '
              f'to the frame median {walls[len(walls) // 2]:.0f} ms, worst {walls[-1]:.0f} ms')
    print(f'keystroke: {results[0]:.0f} ms on 1,000 lines, {results[1]:.0f} ms on 5,000 lines')
    check(results[0] <= 64 and results[1] <= 200, f'a keystroke within four times its target: {results}')
