"""The debugging group of the browser test (run by browser_test.py, whose
helpers it uses): Step over, Step out, Run to cursor, watches, the marks of
what the last step changed and changes by hand, all through the core."""
import base64, json, os, sys, time

from __main__ import check, click, load, press, put_source, wait  # noqa: E402

bt = sys.modules['__main__']   # browser_test.py, run as the program

# Line numbers in the comments; inner is at 000Dh, count at 0013h.
NESTED = ('        ldi 5\n'            # 1
          '        call outer\n'       # 2
          '        std count\n'        # 3
          '        hlt\n'              # 4
          '[outer  call inner\n'       # 5
          '        ret\n'              # 6
          '[inner  ldi 7\n'            # 7
          '        std count\n'        # 8
          '        ret\n'              # 9
          '[count  db 0\n')            # 10

SEEN = '''(() => { const m = machine(); return {state: document.body.dataset.state, line: lineOf(m.PC),
  count: m.instructions, status: document.getElementById('status').textContent,
  byte: memoryBytes()[([...ui.labelAt].find(([, n]) => n.includes('count')) || [0])[0]],
  memory: [...document.querySelectorAll('#memory .changed')].map((e) => Number(e.dataset.address)),
  stack: [...document.querySelectorAll('#stack .changed')].map((e) => e.textContent),
  registers: [...document.querySelectorAll('#registers .changed')].map((e) => e.id),
  result: document.getElementById('change-result').textContent}; })()'''


def debugging(browser, work, url):
    """Step over runs a call to its return, Step out to the caller, Run to
    cursor to the cursor's line; a watch stops a run (and a Step over) after
    the instruction that changes its byte; the last step's changes are
    marked; changes by hand are recorded, so Step back goes back over them;
    a call that never returns leaves the page running and Stop stops it."""
    def seen():
        return browser.js(SEEN)

    def restart():
        click(browser, 'reset')

    load(browser, url)
    put_source(browser, NESTED)
    # Step over and Step out by button and key: steps first (None: on from
    # the last row), the motion, then the line and the count.
    motions = {'over': lambda: click(browser, 'over'), 'F8': lambda: press(browser, 'F8', 119),
               'out': lambda: click(browser, 'out'), 'Shift+F8': lambda: press(browser, 'F8', 119, shift=True)}
    for steps, motion, expected, what in ((1, 'over', (3, 7), 'Step over runs the call to its return'),
                                          (2, 'F8', (6, 6), 'F8 steps over the inner call'),
                                          (3, 'out', (6, 6), 'Step out of inner returns to outer'),
                                          (None, 'Shift+F8', (3, 7), 'Shift+F8 steps out of outer')):
        if steps is not None:
            restart()
            click(browser, 'step', steps)
        motions[motion]()
        s = seen()
        check((s['state'], s['line'], s['count']) == ('ready',) + expected, f'{what}: {s}')
    click(browser, 'out')
    check(seen()['count'] == 7 and 'no call is open' in seen()['status'], f'no call to step out of: {seen()}')

    # What the last step changed: the byte stored, SP, and the stack entry pushed.
    click(browser, 'step')
    s = seen()
    check(s['memory'] == [0x13] and 'reg-SP' in s['registers'] and s['byte'] == 5,
          f'the byte the step stored is marked: {s}')
    restart()
    click(browser, 'step')
    check([line.split()[:2] for line in seen()['stack']] == [['3FFF:', '05']],
          f'the stack entry the step pushed is marked: {seen()}')

    # Run to cursor stops at the first instruction of the cursor's line.
    browser.js("(s => { const at = s.value.indexOf('        ret\\n[count'); s.focus(); s.setSelectionRange(at, at); })"
               "(document.getElementById('source'))")
    click(browser, 'to-cursor')
    wait(browser, {'break', 'halted'})
    s = seen()
    check((s['state'], s['line'], s['count']) == ('break', 9, 5) and "cursor's line" in s['status'],
          f'Run to cursor: {s}')
    click(browser, 'continue')
    check(wait(browser, {'halted', 'break'}) == 'halted', f'the cursor stopped that run alone: {seen()}')
    # On a line with a breakpoint: one stop there, and the next run goes on.
    restart()
    browser.js("(s => { const at = s.value.indexOf('        std count\\n        ret'); s.focus(); s.setSelectionRange(at, at); })"
               "(document.getElementById('source'))")
    press(browser, 'F9', 120)
    click(browser, 'to-cursor')
    wait(browser, {'break', 'halted'})
    s = seen()
    click(browser, 'to-cursor')
    check((s['state'], s['line'], s['count']) == ('break', 8, 4) and wait(browser, {'halted', 'break'}) == 'halted',
          f'Run to cursor on a breakpoint\'s line stops once: {s}, then {seen()}')
    press(browser, 'F9', 120)

    # A watch on count: each store stops the run after it, saying the values.
    restart()
    browser.js("document.getElementById('watch-address').value = 'count'")
    click(browser, 'watch-add')
    watched = browser.js("[...document.querySelectorAll('#watch-list li')].map((e) => e.textContent)")
    check(watched == ['0013h (count) = 00h Remove'], f'the watch is listed: {watched}')
    # Each store stops a run after it, saying the values; Reverse continue
    # from the end finds the same stops backwards, then the start.
    stops = [('watch', 9, 5, 'changed from 00h to 07h'), ('watch', 4, 8, 'changed from 07h to 05h')]
    for button, expected in (('continue', stops + [('halted', 4, 9, 'Halted')]),
                             ('reverse', stops[::-1] + [('ready', 1, 0, 'Ready')])):
        for state, line, count, text in expected:
            click(browser, button)
            wait(browser, {'watch', 'halted' if button == 'continue' else 'ready'})
            s = seen()
            check((s['state'], s['line'], s['count']) == (state, line, count) and text in s['status'],
                  f'{button} with a watch on count: {s}, not {state} at line {line} after {count}')
    restart()
    click(browser, 'step')
    click(browser, 'over')
    check((seen()['state'], seen()['line']) == ('watch', 9), f'a watch stops a Step over inside the call: {seen()}')
    browser.js("document.querySelector('#watch-list button').click()")
    click(browser, 'continue')
    check(wait(browser, {'watch', 'halted'}) == 'halted', f'a removed watch stops nothing: {seen()}')

    # Changes by hand: recorded at the step they are made at.
    restart()
    click(browser, 'step', 3)
    click(browser, 'back', 2)

    def change(what, value, address=''):
        browser.js(f"""(() => {{ const w = document.getElementById('change-what'); w.value = '{what}';
          w.dispatchEvent(new Event('change')); document.getElementById('change-address').value = '{address}';
          document.getElementById('change-value').value = '{value}'; document.getElementById('change').click(); }})()""")

    change(2, 42, 'count')
    s = seen()
    check(s['byte'] == 42 and s['result'] == 'Set byte 0013h = 2Ah; the 2 instructions recorded after this one are forgotten',
          f'a byte set by hand, what was recorded after it forgotten: {s}')
    click(browser, 'back')
    check((seen()['byte'], seen()['count']) == (0, 0), f'Step back goes back over the change: {seen()}')
    click(browser, 'step')
    check(seen()['byte'] == 42, f'and forward again brings it: {seen()}')
    change(0, 'inner')
    check(seen()['line'] == 7 and seen()['result'] == 'Set PC = 000Dh', f'PC set by hand: {seen()}')
    change(1, 70000)
    check(seen()['result'].startswith('Not changed: SP takes'), f'an SP out of range is refused: {seen()}')
    click(browser, 'step', 2)
    check((seen()['line'], seen()['byte']) == (9, 7), f'the run goes on from the changed PC: {seen()}')

    # A call that never returns: the page runs it in pieces, and Stop stops it.
    put_source(browser, '        call spin\n        hlt\n[spin   jmp spin\n')
    click(browser, 'over')
    time.sleep(0.5)
    running = browser.js("[document.body.dataset.state, machine().instructions]")
    click(browser, 'stop')
    check(running[0] == 'running' and running[1] > 1000 and seen()['state'] == 'stopped',
          f'Step over a call that never returns runs until Stop: {running} {seen()}')

    # An `in 1` inside the call: the Step over waits for its key, then goes on to the return.
    put_source(browser, '        call get\n        hlt\n[get    in 1\n        ret\n')
    click(browser, 'over')
    waited = (wait(browser, {'waiting'}), seen()['count'])
    click(browser, 'key')
    wait(browser, {'ready'})
    check(waited == ('waiting', 1) and (seen()['line'], seen()['count']) == (2, 3),
          f'Step over waits at the in 1 inside the call, and the key finishes it: {waited} {seen()}')

    # Screenshots: a Step over stopped by a watch inside the call, at a
    # phone's size and a laptop's, light and dark.
    import browser_page
    shots = []
    for theme in ('light', 'dark'):
        for width, height in ((390, 844), (1280, 800)):
            browser_page.load_in(browser, url, theme)
            browser.send('Emulation.setDeviceMetricsOverride', width=width, height=height, deviceScaleFactor=1,
                         mobile=width < 500)
            time.sleep(0.3)
            browser.js("(s => { s.value = %s; s.dispatchEvent(new Event('input')); })"
                       "(document.getElementById('source'))" % json.dumps(NESTED))
            click(browser, 'assemble')
            browser.js("document.getElementById('watch-address').value = 'count'")
            click(browser, 'watch-add')
            click(browser, 'step')
            click(browser, 'over')
            check(wait(browser, {'watch'}) == 'watch', f'{theme} {width} px: the watch stops the Step over: {seen()}')
            name = f'debugging-{width}x{height}-{theme}.png'
            with open(os.path.join(os.path.dirname(bt.SCREENSHOT), name), 'wb') as f:
                f.write(base64.b64decode(browser.send('Page.captureScreenshot', format='png')['data']))
            shots.append(name)
    browser.send('Emulation.clearDeviceMetricsOverride')
    browser.send('Emulation.setEmulatedMedia', features=[{'name': 'prefers-color-scheme', 'value': 'light'}])
    print('debugging: screenshots ' + ', '.join(shots))
