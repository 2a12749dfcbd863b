"""More groups of the browser test (run by browser_test.py, whose helpers
they use): the student's work kept, links that fail, errors and edits, and
the messages of a course page on another origin, the open calls, the
findings a run pauses at and the heat column."""
import base64, itertools, json, os, re, subprocess, sys, time

bt = sys.modules['__main__']   # browser_test.py, run as the program
from __main__ import check, click, load, native, press, put_source, serve, wait, machine_listing, VIEWS  # noqa: E402


MENU = "(m => [m.value, m.selectedOptions[0].text])(document.getElementById('examples'))"
GUTTER_BREAKS = "[...document.querySelectorAll('#gutter .breakpoint')].map((e) => Number(e.dataset.line))"


def choose(browser, value):
    browser.js(f"(m => {{ m.value = {json.dumps(value)}; m.dispatchEvent(new Event('change')); }})"
               "(document.getElementById('examples'))")


def type_source(browser, source):
    """Replaces the editor's text as typing does: an input event follows."""
    browser.js(f"(s => {{ s.value = {json.dumps(source)}; s.dispatchEvent(new Event('input')); }})"
               "(document.getElementById('source'))")


PROGRAMS = ("[...document.querySelectorAll('#examples optgroup[label=\"My programs\"] option')]"
            ".map((o) => o.text)")
STORED = ("Object.keys(localStorage).filter((k) => k.startsWith('playground.program.'))"
          ".map((k) => JSON.parse(localStorage.getItem(k)).source).sort()")


def work_kept(browser, work, url):
    """Every program the student edits kept in a list, apart from the
    examples, across reloads; names; deleting and Undo; a file opened;
    another tab; storage refused; the widget's edits, its Reset asking."""
    load(browser, url)
    browser.js('localStorage.clear()')
    load(browser, url)
    mine = '; my sums\nldi 5\nout 0\nldi 6\nout 0\nhlt\n'
    browser.js(f'playground.setSource({json.dumps(mine)})')
    click(browser, 'assemble')
    browser.js("document.querySelector('#gutter [data-line=\"3\"]').click()")
    choose(browser, 'count.asm')
    count = open(os.path.join(bt.EXAMPLES, 'count.asm')).read()
    check(browser.js('playground.getSource()') == count and browser.js(MENU)[0] == 'count.asm', 'an example shown')
    load(browser, url)
    check(browser.js('playground.getSource()') == count, 'an unedited example is what a reload shows')
    check(browser.js(PROGRAMS) == ['my sums'], f'the menu lists the program by its comment: {browser.js(PROGRAMS)}')
    # The reproducer: two examples edited in turn, after the student's own
    # program: all three are kept, newest first, and none is an example.
    for name in ('hello.asm', 'count.asm'):
        choose(browser, name)
        browser.js("(s => { s.focus(); s.setSelectionRange(0, 0); })(document.getElementById('source'))")
        browser.send('Input.insertText', text='x')
    time.sleep(0.6)   # stored after a pause in typing
    hello = open(os.path.join(bt.EXAMPLES, 'hello.asm')).read()
    check(browser.js(STORED) == sorted([mine, 'x' + hello, 'x' + count]),
          f'each edited program is kept: {browser.js(STORED)}')
    titles = browser.js(PROGRAMS)
    check(len(titles) == 3 and titles[2] == 'my sums' and browser.js(MENU)[0].startswith('#'),
          f'newest first, the one shown selected: {titles} {browser.js(MENU)}')
    # A keystroke right before a reload is kept (pagehide).
    browser.send('Input.insertText', text='y')
    browser.js('location.reload()')
    time.sleep(0.5)
    wait(browser, {'ready', 'error'})
    check(browser.js('playground.getSource()') == 'xy' + count, f'the last keystroke survives a reload: '
          f'{browser.js("playground.getSource()")[:10]!r}')
    mine_id = browser.js("[...document.getElementById('examples').options].find((o) => o.text === 'my sums').value")
    choose(browser, mine_id)
    check((browser.js('playground.getSource()'), browser.js(GUTTER_BREAKS)) == (mine, [3]),
          'a program of the list comes back with its breakpoint')
    load(browser, url)
    check((browser.js('playground.getSource()'), browser.js(GUTTER_BREAKS)) == (mine, [3]),
          f'a reload keeps it and its breakpoint: {browser.js(GUTTER_BREAKS)}')
    # Deleting from the File menu, and Undo in the notice.
    browser.js(f"document.querySelector('#program-list [data-delete=\"{mine_id[1:]}\"]').click()")
    gone = (browser.js(PROGRAMS), browser.js('playground.getSource()'))
    browser.js("document.querySelector('#notice button').click()")
    check('my sums' not in gone[0] and gone[1] != mine and 'my sums' in browser.js(PROGRAMS)
          and browser.js('playground.getSource()') == mine, f'delete, then Undo: {gone} {browser.js(PROGRAMS)}')
    # Programs kept by the page before the list join it.
    browser.js("localStorage.clear(); localStorage.setItem('playground.mine', JSON.stringify({source: '; old mine\\nhlt\\n',"
               " breakLines: [], name: 'program.asm'})); localStorage.setItem('playground.earlier', "
               "JSON.stringify({source: '; old earlier\\nhlt\\n', breakLines: [], name: 'program.asm'}))")
    load(browser, url)
    check(browser.js(PROGRAMS) == ['old mine', 'old earlier'] and browser.js('playground.getSource()') == '; old mine\nhlt\n',
          f'the earlier two programs join the list: {browser.js(PROGRAMS)}')
    browser.js(f'playground.setSource({json.dumps(mine)})')

    # The name the student gives is the downloads' and the list's; the listing is --listing's.
    _, shown, _ = native(mine, work)
    browser.js("(n => { n.value = 'sums.asm'; n.dispatchEvent(new Event('change')); })"
               "(document.getElementById('program-name'))")
    browser.js("window.saved = []; window.download = (name, text) => saved.push([name, text])")
    for button in ('download-source', 'download-object', 'download-listing'):
        click(browser, button)
    saved = browser.js('saved')
    with open(os.path.join(work, 'p.hx')) as f:
        check(saved == [['sums.asm', mine], ['sums.hx', f.read()], ['sums.lst', machine_listing[0]]],
              f'downloads named after the program: {[name for name, _ in saved]}')
    load(browser, url)
    check(browser.js("document.getElementById('program-name').value") == 'sums.asm' and
          browser.js(PROGRAMS)[0] == 'sums.asm', 'the name is kept and names the program')

    # A file dropped onto the editor, and one from the picker.
    for how in ('drop', 'picker'):
        text = f'; from a {how}\nldi 7\nout 0\nhlt\n'
        browser.js(f"""(() => {{
          const files = new DataTransfer();
          files.items.add(new File([{json.dumps(text)}], '{how}.asm'));
          if ('{how}' === 'drop') {{
            document.getElementById('editor').dispatchEvent(
              new DragEvent('drop', {{ dataTransfer: files, bubbles: true, cancelable: true }}));
          }} else {{
            const input = document.getElementById('file-input');
            input.files = files.files;
            input.dispatchEvent(new Event('change'));
          }}
        }})()""")
        time.sleep(0.3)
        check((browser.js('playground.getSource()'), browser.js("document.getElementById('program-name').value"))
              == (text, f'{how}.asm'), f'a file opened by {how}')
    check(browser.js(STORED) == sorted(['; from a drop\nldi 7\nout 0\nhlt\n', '; from a picker\nldi 7\nout 0\nhlt\n',
                                        '; old earlier\nhlt\n', mine]), f'files opened join the list: {browser.js(STORED)}')

    # Two tabs on one program: when the second stores a change, the first
    # keeps its own version as a program of its own, typing on into it.
    first = browser.session
    for take in (True, False):
        browser.session = first
        browser.js(f"showProgram({json.dumps(browser.js(MENU)[0][1:])})")   # the one it shows, stored as shown
        load(browser, url)
        other = f'; the other tab {take}\nhlt\n'
        browser.js(f'playground.setSource({json.dumps(other)})')
        browser.session = first
        time.sleep(0.3)
        notice = browser.js("(n => n.hidden ? '' : n.textContent)(document.getElementById('tab-notice'))")
        check('Another tab changed this program' in notice, f'the page says another tab changed it: {notice!r}')
        browser.js("playground.setSource(playground.getSource() + '; typed meanwhile')")
        own = browser.js('playground.getSource()')
        click(browser, 'take-other' if take else 'keep-mine')
        expected = other if take else own
        stored = browser.js(STORED)
        check(browser.js('playground.getSource()') == expected and own in stored and other in stored,
              f'{"take the other" if take else "stay"}: {expected!r} shown, both kept')

    # Storage refused: said in a notice, never silently.
    browser.js("Storage.prototype.setItem = () => { throw new DOMException('full', 'QuotaExceededError'); }")
    browser.js("playground.setSource('; not stored\\nhlt\\n')")
    notice = browser.js("(n => n.hidden ? '' : n.textContent)(document.getElementById('notice'))")
    check('could not be stored in this browser (its storage is full)' in notice, f'storage full: {notice!r}')

    # A widget keeps its edits per page and widget, until Reset.
    load(browser, url + 'course-page-example.html')
    time.sleep(1)
    frame = "document.querySelectorAll('iframe')[2].contentWindow"
    original = browser.js(f'{frame}.playground.getSource()')
    browser.js(f"{frame}.playground.setSource({json.dumps(original + '; my answer')})")
    load(browser, url + 'course-page-example.html')
    time.sleep(1)
    sources = browser.js("[...document.querySelectorAll('iframe')].map((f) => f.contentWindow.playground.getSource())")
    check(sources[2] == original + '; my answer' and sources[1] != sources[2], 'a widget keeps its edits after a reload')
    # Reset asks first; Ctrl+Z brings the answer back.
    doc = "document.querySelectorAll('iframe')[2].contentDocument"
    browser.js(f"{doc}.getElementById('reset-source').click()")
    asked = (browser.js(f"{doc}.getElementById('reset-ask').hidden"), browser.js(f'{frame}.playground.getSource()'))
    browser.js(f"{doc}.getElementById('reset-yes').click()")
    reset = browser.js(f'{frame}.playground.getSource()')
    for kind in ('keyDown', 'keyUp'):
        browser.send('Input.dispatchKeyEvent', type=kind, key='z', code='KeyZ', windowsVirtualKeyCode=90, modifiers=2)
    undone = browser.js(f'{frame}.playground.getSource()')
    check(asked == (False, original + '; my answer') and reset == original and undone == original + '; my answer',
          f'Reset asks, replaces, and Ctrl+Z undoes it: {asked} {reset[-20:]!r} {undone[-20:]!r}')
    browser.js(f"{doc}.getElementById('reset-source').click(); {doc}.getElementById('reset-yes').click()")
    load(browser, url + 'course-page-example.html')
    time.sleep(1)
    check(browser.js(f'{frame}.playground.getSource()') == original, 'Reset brings back the page\'s original')


def links(browser, work, url):
    """Links that cannot be read say so and leave the stored program; a link
    over 1 MiB unpacked; a new link in an open tab; a link's length."""
    load(browser, url)
    browser.js('localStorage.clear()')
    load(browser, url)
    mine = '; kept\nldi 1\nout 0\nhlt\n'
    browser.js(f'playground.setSource({json.dumps(mine)})')
    # 200 lines of the examples, comments and all.
    long = ''.join(open(os.path.join(bt.EXAMPLES, n)).read() for n in sorted(os.listdir(bt.EXAMPLES)) if n.endswith('.asm'))
    long = '\n'.join(long.splitlines()[:200]) + '\n'
    address = browser.js(f"(async () => {{ const s = getSource(); setSource({json.dumps(long)}); "
                         "const a = await shareAddress(); setSource(s); return a; })()")
    print(f'share link: {len(address):,} characters for 200 lines of the examples with their comments')
    check(len(address) < 2500, f'a 200-line program shares in under 2,500 characters: {len(address)}')
    huge = browser.js("packSource('ldi 1\\n'.repeat(300000))")
    broken = [address.split('#')[1][:int(len(address.split('#')[1]) * 0.6)], 'code=%%%', 'code=AAAA', 'code=',
              'code=' + huge]
    for fragment in broken:
        started = time.time()
        load(browser, url + '#' + fragment)
        notice = browser.js("(n => n.hidden ? '' : n.getAttribute('role') + ': ' + n.textContent)"
                            "(document.getElementById('notice'))")
        check(notice.startswith('alert: This link\'s program could not be read') and
              browser.js('playground.getSource()') == mine and browser.js('location.hash') == '',
              f'#{fragment[:30]}: {notice!r} {browser.js("location.hash")[:30]!r} {time.time() - started:.1f} s')
    # Another link in the address of the open tab.
    other = '; from a link\nldi 9\nout 0\nhlt\n'
    code = browser.js(f'packSource({json.dumps(other)})')
    browser.js(f"location.hash = 'code={code}&bp=3'")
    time.sleep(0.5)
    check((browser.js('playground.getSource()'), browser.js(GUTTER_BREAKS)) == (other, [3]),
          'a new link in the address loads its program')
    choose(browser, browser.js("[...document.getElementById('examples').options].find((o) => o.text === 'kept').value"))
    check(browser.js('playground.getSource()') == mine, 'the program before it stays in the list')
    load(browser, url + 'embed.html#code=%%%')
    check(browser.js("document.getElementById('notice').hidden") is False, 'the widget says a link failed too')


def errors_and_edits(browser, work, url):
    """A machine's stop looks like an error and the user's does not; edited
    sources run as edited; marks follow their lines through an edit."""
    load(browser, url)
    status = "(s => [s.textContent, s.classList.contains('failed')])(document.getElementById('status'))"
    put_source(browser, 'ldi 1\nldi 2\nadd\nadd\nhlt\n')
    click(browser, 'run')
    wait(browser, {'stopped'})
    views = browser.js(VIEWS)
    check(browser.js(status) == ['Stopped: Stack underflow at PC 0005, line 4', True] and views['errorLine'] == [4],
          f'a stop in the error style: {browser.js(status)} {views["errorLine"]}')
    timeline = browser.js("document.getElementById('timeline-text').textContent")
    check(timeline == f'{views["count"]} of {views["count"]}', f'the timeline counts as the registers at a stop: {timeline}')
    put_source(browser, '[spin jmp spin\n')
    click(browser, 'run')
    time.sleep(0.2)
    click(browser, 'stop')
    text, failed = browser.js(status)
    check(text.startswith('Stopped by you at PC 0000, line 1') and not failed and browser.js(VIEWS)['errorLine'] == [],
          f'the user\'s stop: {text} {failed}')
    # Run, Step and Continue take the edited source.
    put_source(browser, 'ldi 1\nout 0\nhlt\n')
    for button, source, expected in (('run', 'ldi 2\nout 0\nhlt\n', 2), ('step', 'ldi 3\nout 0\nhlt\n', 3),
                                     ('continue', 'ldi 4\nout 0\nhlt\n', 4)):
        type_source(browser, source)
        click(browser, button)
        if button == 'step':
            click(browser, 'step')
        wait(browser, {'halted', 'ready'})
        check(f'-[{expected} :' in browser.js(VIEWS)['console'] or
              (button == 'step' and browser.js(VIEWS)['stack'].startswith('3FFF')) or
              f'[{expected}' in browser.js(VIEWS)['console'], f'{button} runs the edited source: {browser.js(VIEWS)["console"]!r}')
    # Breakpoints, heat and the current line move with inserted and deleted lines.
    source = 'ldi 3\n[loop dec\njnz loop\nhlt\n'
    put_source(browser, source)
    browser.js("document.querySelector('#gutter [data-line=\"3\"]').click()")
    click(browser, 'continue')
    wait(browser, {'break'})
    heat = "[...document.querySelectorAll('#heat [data-line]')].map((e) => [Number(e.dataset.line), Number(e.dataset.runs)])"
    time.sleep(0.3)
    before = browser.js(heat)
    current = "Number(document.getElementById('backdrop').dataset.line)"
    check(browser.js(current) == 3 and browser.js(GUTTER_BREAKS) == [3], 'at the breakpoint on line 3')
    type_source(browser, '; two lines\n; above\n' + source)
    moved = browser.js(heat)
    check(browser.js(GUTTER_BREAKS) == [5] and moved == [[line + 2, runs] for line, runs in before],
          f'inserted lines move the marks: {browser.js(GUTTER_BREAKS)} {before} -> {moved}')
    browser.js('render()')
    check(browser.js(current) == 5, f'the current line moves: {browser.js(current)}')
    type_source(browser, '; two lines\n' + source)
    check(browser.js(GUTTER_BREAKS) == [4], f'a deleted line moves them back: {browser.js(GUTTER_BREAKS)}')
    click(browser, 'continue')
    wait(browser, {'break'})
    check(browser.js(VIEWS)['PC'] == 3 and browser.js(current) == 4, 'the breakpoint stays on its source line')


COURSE_PAGE = '''<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>Course</title></head><body>
<iframe id="w" title="Your turn" src="WIDGET"></iframe>
<script>
window.got = [];
addEventListener('message', (event) => { if (event.source === w.contentWindow) got.push(event.data); });
window.reach = () => { try { return typeof w.contentWindow.playground; } catch (error) { return 'refused'; } };
window.send = (message) => w.contentWindow.postMessage(message, '*');
</script></body></html>'''


def messages(browser, work, url):
    """A course page from another origin talks to the widget by messages."""
    folder = os.path.join(work, 'course')
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'course.html'), 'w') as f:
        f.write(COURSE_PAGE.replace('WIDGET', url + 'embed.html#example=count.asm'))
    server = serve(folder, [])
    try:
        browser.open(f'http://localhost:{server.server_address[1]}/course.html')
        deadline = time.time() + 30
        while time.time() < deadline and not browser.js("typeof got === 'object' && got.length"):
            time.sleep(0.1)
        check(browser.js('got') == [{'type': 'playground:ready'}] and browser.js('reach()') == 'refused',
              f'the widget says it is ready; its code is out of reach: {browser.js("got")} {browser.js("reach()")}')
        count = open(os.path.join(bt.EXAMPLES, 'count.asm')).read()

        def ask(message, answers=1):
            browser.js(f'got = []; send({json.dumps(message)})')
            deadline = time.time() + 30
            while time.time() < deadline and browser.js('got.length') < answers:
                time.sleep(0.05)
            return browser.js('got')

        check(ask({'type': 'playground:getSource'}) == [{'type': 'playground:source', 'source': count}],
              'getSource answers with the source')
        answer = 'ldi 6\nout 0\nldi 7\nout 0\nhlt\n'
        ask({'type': 'playground:setSource', 'source': answer}, 0)
        check(ask({'type': 'playground:getSource'})[0]['source'] == answer, 'setSource replaces the source')
        _, shown, trace = native(answer, work)
        check(ask({'type': 'playground:run'}) == [{'type': 'playground:ended', 'outcome': 'halted', 'out': [6, 7],
                                                   'instructions': len(trace)}], f'a run ends halted: {browser.js("got")}')
        # Every order of a good run, an assembly error, a limit and a stop of
        # the machine: each ends as it does first, never as the run before.
        cases = {'good': (answer, None), 'error': ('ldi 1\njmp nowhere\n', None),
                 'limit': ('ldi 4\nout 0\n[spin jmp spin\n', 5000), 'stop': ('ldi 1\nadd\nhlt\n', None)}
        seen = {}
        for order in itertools.permutations(cases):
            for name in order:
                source, limit = cases[name]
                ask({'type': 'playground:setSource', 'source': source}, 0)
                ended = ask({'type': 'playground:run', **({'limit': limit} if limit else {})})
                seen.setdefault(name, ended)
                check(ended == seen[name], f'{order}: {name} ends {ended}, not {seen[name]}')
        check(seen['good'] == [{'type': 'playground:ended', 'outcome': 'halted', 'out': [6, 7],
                                'instructions': len(trace)}], f'a run ends halted: {seen["good"]}')
        check(seen['error'] == [{'type': 'playground:ended', 'outcome': 'error', 'line': 2,
                                 'error': seen['error'][0].get('error')}] and 'nowhere' in seen['error'][0]['error'],
              f'an assembly error ends with its error and line, no counts: {seen["error"]}')
        check(seen['limit'] == [{'type': 'playground:ended', 'outcome': 'limit', 'out': [4], 'instructions': 5000}],
              f'a run ends at its limit: {seen["limit"]}')
        check(seen['stop'][0]['outcome'] == 'stopped' and seen['stop'][0]['out'] == [], f'a stop: {seen["stop"]}')
    finally:
        server.shutdown()



def course_pages(browser, work, url):
    """Two lessons of a course site on another origin, each embedding the
    same widget address with its own `page`, keep their edits apart; a stop
    at a course page's limit says so in the widget."""
    folder = os.path.join(work, 'lessons')
    os.makedirs(folder, exist_ok=True)
    for n in (1, 2):
        with open(os.path.join(folder, f'lesson{n}.html'), 'w') as f:
            f.write(COURSE_PAGE.replace('WIDGET', f'{url}embed.html?page=lesson-{n}#example=count.asm'))
    server = serve(folder, [])
    count = open(os.path.join(bt.EXAMPLES, 'count.asm')).read()

    def lesson(n, message=None):
        browser.open(f'http://localhost:{server.server_address[1]}/lesson{n}.html')
        deadline = time.time() + 30
        while time.time() < deadline and not browser.js("typeof got === 'object' && got.length"):
            time.sleep(0.1)
        if message:
            browser.js(f'send({json.dumps(message)})')
        browser.js("got = []; send({type: 'playground:getSource'})")
        while time.time() < deadline and not browser.js('got.length'):
            time.sleep(0.05)
        return browser.js('got[0].source')

    try:
        lesson(1, {'type': 'playground:setSource', 'source': '; lesson 1 answer\nhlt\n'})
        check((lesson(2), lesson(1)) == (count, '; lesson 1 answer\nhlt\n'),
              'two lessons of another origin keep their edits apart')
    finally:
        server.shutdown()
    load(browser, url + 'course-page-example.html')
    time.sleep(1)
    frame = "document.querySelectorAll('iframe')[0].contentWindow"
    browser.js(f"{frame}.playground.setSource('ldi 4\\nout 0\\n[spin jmp spin\\n');"
               f"{frame}.postMessage({{type: 'playground:run', limit: 5000}}, '*')")
    time.sleep(0.5)
    status = browser.js(f"{frame}.document.getElementById('status').textContent")
    shown = browser.js(f"{frame}.document.getElementById('console').textContent")
    check(status.startswith('Stopped at the limit of 5,000 instructions') and 'terminated' not in shown,
          f'the widget says the limit: {status!r} {shown!r}')
    browser.js('localStorage.clear()')   # the widget's edit goes, for the groups after


def calls(browser, work, url):
    """The Calls pane and the stack's origins on a nested program, going
    forward and back; a click on a frame selects its line."""
    load(browser, url)
    source = ('        ldi 5\n        call outer\n        hlt\n[outer  call inner\n        ret\n'
              '[inner  ldi 7\n        ldi 8\n        ret\n')
    put_source(browser, source)
    click(browser, 'step', 4)
    wait(browser, {'paused', 'ready'})
    frames = browser.js("[...document.querySelectorAll('#calls li')].map((e) => e.textContent)")
    check(frames == ['inner+2 (000C), line 7, called from line 4',
                     'outer (0006), line 4, called from line 2',
                     '(program) (0002), line 2'], f'the open calls, innermost first, numbered once: {frames}')
    changed = browser.js("[...document.querySelectorAll('#registers .changed')].map((e) => e.id)")
    check(changed == ['reg-PC', 'reg-SP'], f'the registers the last step changed are marked: {changed}')
    stack = browser.js(VIEWS)['stack'].splitlines()
    check(stack == ['3FFA: 07    7  pushed by line 6',
                    '3FFB: 09    9  return address 0009, to line 5 (call at line 4)',
                    '3FFC: 00    0  (return address)',
                    '3FFD: 05    5  return address 0005, to line 3 (call at line 2)',
                    '3FFE: 00    0  (return address)',
                    '3FFF: 05    5  pushed by line 1'], f'the stack says what each byte is: {stack}')
    browser.js("document.querySelectorAll('#calls li')[1].click()")
    selected = browser.js("(s => s.value.slice(s.selectionStart, s.selectionEnd))(document.getElementById('source'))")
    check(selected == '[outer  call inner', f'a click on a frame selects its line: {selected!r}')
    click(browser, 'back', 2)
    frames = browser.js("[...document.querySelectorAll('#calls li')].map((e) => e.textContent)")
    check(frames == ['outer (0006), line 4, called from line 2', '(program) (0002), line 2'],
          f'two steps back, one call fewer: {frames}')
    put_source(browser, '        ldi 2\n        ldi 9\n        call diff\n        hlt\n; ( a b -- a-b )\n'
                        '[diff   stdw back\n        sub\n        lddw back\n        ret\n[back   dw 0\n')
    click(browser, 'step', 3)
    wait(browser, {'paused', 'ready'})
    frames = browser.js("[...document.querySelectorAll('#calls li')].map((e) => e.textContent)")
    check(frames[0] == 'diff (0008) (a = 2 from line 1, b = 9 from line 2), line 6, called from line 3',
          f"a routine's arguments named from its stack comment, as the debugger names them: {frames}")


# A subroutine that stores its arguments before saving its return address:
# its ret goes to 0304, the arguments, and execution runs on from there.
MISMATCH = ('        ldi 3\n        ldi 4\n        call mult\n        out 0\n        hlt\n[mult   std a\n'
            '        std b\n        stdw mret\n        ldd a\n        ldd b\n        mul\n        lddw mret\n'
            '        ret\n[a      db 0\n[b      db 0\n[mret   dw 0\n')

FINDINGS = '''(() => ({state: document.body.dataset.state, status: document.getElementById('status').textContent,
  marked: [...document.querySelectorAll('#gutter .finding')].map((e) => [Number(e.dataset.line), e.title]),
  rows: [...document.querySelectorAll('#finding-list li[data-instruction]')].map((e) => e.textContent),
  shown: !document.getElementById('findings').classList.contains('hidden')}))()'''


def findings(browser, work, url):
    """A run pauses right after the instruction of each new finding, which
    the pane lists and the gutter marks on its line; the findings are those
    of `simulator --check`, and the run goes on to the stop."""
    load(browser, url)
    with open(os.path.join(work, 'm.asm'), 'w') as f:
        f.write(MISMATCH)
    subprocess.run([bt.BIN + '/assembler', 'm.asm'], cwd=work, capture_output=True, check=True)
    checked = subprocess.run([bt.BIN + '/simulator', '--check', 'm.hx'], cwd=work, stdin=subprocess.DEVNULL,
                             capture_output=True).stderr.decode().splitlines()
    # "finding: return mismatch at instruction 11, PC 001D (29): ..." -> instruction, PC
    # (the line on the bytes left on the stack at the end names no instruction)
    at = [re.search(r'instruction (\d+), PC (\w+)', line) for line in checked if line.startswith('finding: ')]
    expected = [tuple(int(n, b) for n, b in zip(m.groups(), (10, 16))) for m in at if m]
    check(len(expected) == 2, f'simulator --check names two findings: {checked}')
    ret_line = MISMATCH.splitlines().index('        ret') + 1
    put_source(browser, MISMATCH)
    click(browser, 'run')
    pauses = []
    for instruction, pc in expected:
        state = wait(browser, {'finding', 'stopped', 'halted'})
        views, pane = browser.js(VIEWS), browser.js(FINDINGS)
        pauses.append(((state, views['count'], views['trace'].splitlines()[-1].split()[:2], len(pane['rows']),
                        pane['shown'], [line for line, _ in pane['marked']]), pane))
        click(browser, 'continue')
    # Each pause: after its instruction, listed, marked on the ret's line (a
    # stray PC has no line of its own).
    check([p for p, _ in pauses] == [('finding', i, [str(i), f'{pc:04X}'], n, True, [ret_line])
                                     for n, (i, pc) in enumerate(expected, 1)], f'the pauses: {pauses}')
    first, second = pauses[0][1], pauses[1][1]
    texts = (first['marked'][0][1], first['rows'][0], first['status'], second['marked'][0][1])
    check('finding: return mismatch' in texts[0] and 'stray PC' in texts[3]
          and texts[1].startswith(f'line {ret_line} (mult+19) return mismatch at instruction {expected[0][0]}')
          and 'the call at line 3 (to mult) pushed 0007' in texts[1]
          and 'return mismatch at instruction 11, PC 001D (29): ret at line 13' in texts[2],
          f'the marks\' titles, the pane\'s row and the status: {texts}')
    check(wait(browser, {'stopped'}) == 'stopped' and 'Stack overflow' in browser.js(VIEWS)['console'],
          'after the findings the run goes on to the stop')
    # Back to the start and on: a known finding pauses the run again after
    # its instruction, as a breakpoint does, and stays listed once.
    click(browser, 'to-start')
    again = []
    for _ in expected:
        click(browser, 'continue')
        again.append((wait(browser, {'stopped', 'finding'}), browser.js(VIEWS)['count']))
    click(browser, 'continue')
    check(again == [('finding', i) for i, _ in expected] and wait(browser, {'stopped'}) == 'stopped'
          and len(browser.js(FINDINGS)['rows']) == 2,
          f'a run over known findings pauses at each again, each listed once: {again}')
    # A step (F10) that makes a finding says so, and the next step goes on;
    # a finding in the list goes to the state before its instruction.
    click(browser, 'reset')
    seen = []
    for step in range(expected[0][0] + 1):  # the last one goes on past the finding
        press(browser, 'F10', 121)
        seen.append(browser.js(VIEWS)['state' if step < expected[0][0] else 'count'])
    browser.js("document.querySelector('#finding-list li[data-instruction]').click()")
    views = browser.js(VIEWS)
    check((seen, views['PC'], views['count']) ==
          (['ready'] * (expected[0][0] - 1) + ['finding', expected[0][0] + 1], expected[0][1],
           expected[0][0] - 1),
          f'only the step of the finding pauses; the pane goes to the state before it: {seen} {views}')


HEAT = '''new Promise((done) => {
  const rows = () => [...document.querySelectorAll('#heat [data-line]')].map((e) =>
    [Number(e.dataset.line), Number(e.dataset.runs), Number(e.dataset.clocks), e.title]);
  const poll = (tries) => {
    const now = rows(), ran = now.reduce((sum, row) => sum + row[1], 0);
    if (ran === machine().instructions || tries === 0) done(now); else setTimeout(() => poll(tries - 1), 20);
  };
  poll(250);
})'''


def heat(browser, work, url):
    """The heat column of a small loop: each line's count against the
    simulator's trace, the clocks adding up to the run's, a line's numbers on
    hover; after going back, the counts of the run up to there."""
    source = ('        ldi 3\n        std n\n[loop   ldd n\n        dec\n        std n\n        jnz loop\n'
              '        hlt\n[n      db 0\n')
    _, shown, trace = native(source, work)
    line_at = {int(row[:4], 16): n for n, row in enumerate(machine_listing[0].splitlines()[:len(source.splitlines())], 1)
               if row[6:8].strip()}
    clocks = int(re.search(r'No\. clock = (\d+)', shown).group(1))

    def expected(steps):
        counts = {line: 0 for line in range(1, 8)}
        for t in trace[:steps]:
            counts[line_at[int(t.split()[1], 16)]] += 1
        return counts

    load(browser, url)
    put_source(browser, source)
    click(browser, 'run')
    wait(browser, {'halted'})
    rows = browser.js(HEAT)
    check({line: runs for line, runs, _, _ in rows} == expected(len(trace)),
          f'the heat column counts each line of the loop: {rows}')
    check(sum(c for _, _, c, _ in rows) == clocks and all(c % r == 0 for _, r, c, _ in rows if r),
          f'the lines\' clocks add up to the run\'s {clocks}: {rows}')
    check(rows[2][3].startswith('line 3: ran 3 times, ') and ' clocks (' in rows[2][3], f'hover: {rows[2][3]}')
    check(browser.js("document.querySelector('#heat div:nth-child(8)').textContent") == '',
          'a line without an instruction has no count')
    click(browser, 'to-start')
    click(browser, 'step', 5)
    rows = browser.js(HEAT)
    check({line: runs for line, runs, _, _ in rows} == expected(5), f'after going back and 5 steps: {rows}')
    # A long run's counts take many tasks: meanwhile the column says it counts, never 0.
    put_source(browser, '[spin   jmp spin\n')
    counting = browser.js("api.run(30000000, IGNORE_BREAKPOINTS); render(); new Promise((done) => setTimeout(() => "
                          "done(document.querySelector('#heat > div').textContent), 30))")
    rows = browser.js(HEAT)
    check(counting == '...' and rows[0][1] == 30000000, f'counting shown, then the count: {counting!r} {rows}')


def key_wait(browser, work, url):
    """keywait.asm pauses before each `in 1` on new ground until a key in the
    Output pane or the Key button; Escape stops it there; a key typed while
    it runs is passed over; ground already run never waits again."""
    def poll(expression, seconds=30):
        deadline = time.time() + seconds
        while time.time() < deadline and not browser.js(expression):
            time.sleep(0.05)
        return browser.js(expression)

    def seen():
        return browser.js('''(() => ({state: document.body.dataset.state, count: machine().instructions,
          status: document.getElementById('status').textContent, out: api.outValues(),
          key: !document.getElementById('key').hidden && !document.getElementById('key').disabled,
          focus: document.activeElement.id}))()''')

    def type_key(key, code):
        browser.js("document.getElementById('console').focus()")
        press(browser, key, code)

    load(browser, url)
    choose(browser, 'keywait.asm')
    page1, page2 = '7,14,21,28,35', '7,14,21,28,35,42,49,56,63,70'
    click(browser, 'run')
    wait(browser, {'waiting'})
    first = seen()
    check(first['state'] == 'waiting' and 'waiting for a key' in first['status'] and first['out'] == page1
          and first['key'] and first['focus'] == 'console',
          f'the run pauses before in 1 with the first page, Key shown, the Output pane focused: {first}')
    type_key('x', 88)
    poll(f"api.outValues() === '{page2}' && document.body.dataset.state === 'waiting'")
    check(seen()['out'] == page2 and seen()['state'] == 'waiting', f'a key in the Output pane goes on: {seen()}')
    press(browser, 'Escape', 27)
    stopped = seen()
    check(stopped['state'] == 'stopped' and 'Stopped by you' in stopped['status'] and not stopped['key'],
          f'Escape stops the run there: {stopped}')
    click(browser, 'run')
    check(wait(browser, {'waiting'}) == 'waiting' and seen()['out'] == page2,
          f'Run goes on from the stop to the same wait: {seen()}')
    click(browser, 'key')
    check(wait(browser, {'halted'}) == 'halted' and seen()['out'].endswith('91,98') and seen()['count'] == 207
          and not seen()['key'], f'the Key button goes on, and hlt does not wait: {seen()}')
    # Ground already run: the timeline, reverse continue, and stepping back
    # over the first `in 1` and on again pass it at once.
    browser.js(f"act(() => api.goTo({first['count']} - 1))")
    click(browser, 'step', 2)
    check(seen()['state'] == 'ready' and seen()['count'] == first['count'] + 1,
          f'stepping over the in 1 already passed does not wait: {seen()}')
    click(browser, 'continue')
    check(wait(browser, {'halted', 'waiting'}) == 'halted', f'a run over recorded ground does not wait: {seen()}')
    click(browser, 'reverse')
    check(seen()['state'] == 'ready' and seen()['count'] == 0, f'reverse continue back to the start: {seen()}')
    # New ground: a step waits as a run does, and a key finishes the step.
    click(browser, 'reset')
    click(browser, 'step', first['count'] + 1)
    check(seen()['state'] == 'waiting' and seen()['count'] == first['count'], f'a step waits at in 1: {seen()}')
    type_key('Enter', 13)
    check(seen()['state'] == 'ready' and seen()['count'] == first['count'] + 1, f'a key ends the step: {seen()}')
    # While a run goes on, a key typed is taken by the key test and passed
    # over: the next `in 1` still waits for one of its own.
    click(browser, 'reset')
    browser.js("document.getElementById('speed').value = '50'")
    click(browser, 'run')
    type_key('y', 89)
    running = seen()
    check(running['state'] == 'running', f'a key while the run goes on does not stop it: {running}')
    check(wait(browser, {'waiting'}, 30) == 'waiting' and seen()['out'] == page1,
          f'the key typed during the run is passed over: {seen()}')
    press(browser, 'Escape', 27)
    browser.js("document.getElementById('speed').value = '0'")
    check(seen()['state'] == 'stopped', f'Escape stops a waiting run at a set speed too: {seen()}')
