// tarvik.html in Chromium, used as a person uses it: typed into, clicked, keyed.
//   node page_test.mjs PAGE TARVIK_ID VERSION
// The known answers and a few hundred generated texts through the page's controls,
// the latter against the native tarvik-id; the layout against the window's table; the
// keys and the credits box; and that no request leaves the page.
import { execFileSync } from "node:child_process";
import { existsSync, readFileSync, statSync } from "node:fs";
import { pathToFileURL } from "node:url";

const [pagePath, tarvikId, version] = process.argv.slice(2);
const root = new URL("../../", import.meta.url);
let failures = 0, checks = 0, ran = 0;
const ok = (condition, what) => (checks++, condition) || (failures++, console.error(`FAIL: ${what}`));
const same = (what, expected, actual) =>
  ok(JSON.stringify(expected) === JSON.stringify(actual), `${what}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
const precondition = message => { console.error(`web_page: cannot run: ${message}`); process.exit(1); };

if (!existsSync(pagePath)) precondition(`${pagePath} is missing: cmake --build --preset web`);
if (!existsSync(tarvikId)) precondition(`${tarvikId} is missing: build the native preset first (cmake --build --preset native)`);
const { chromium } = await import("playwright-core").catch(() =>
  precondition("playwright-core is missing: npm ci in tests/web (scripts/setup.sh does)"));
const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--no-first-run", "--disable-quic"],
}).catch(error => precondition(`no browser starts (/usr/bin/chromium, from Debian's chromium): ${error.message.split("\n")[0]}`));

// The window's table, read from its header: name, kind, text, left, top, width, height, tab index.
const layout = readFileSync(new URL("ui/layout.h", root), "utf8");
const twips = name => Number(layout.match(new RegExp(`${name} = (\\d+);`))[1]);
const controls = [...layout.matchAll(/\{L"(\w+)", ControlKind::(\w+), L"([^"]*)", (\d+), (\d+), (\d+), (\d+), (\d+),/g)]
  .map(([, name, kind, text, ...numbers]) => ({ name, kind, text, ...Object.fromEntries(
    ["left", "top", "width", "height", "tabIndex"].map((key, i) => [key, Number(numbers[i])])) }));
const caption = layout.match(/kForm1Caption\[\] = L"([^"]*)"/)[1];
same("controls in the table", 6, controls.length);

const size = statSync(pagePath).size;
console.log(`tarvik.html: ${size} bytes`);
ok(size <= 32768, "the page is at most 32 KiB");

const page = await browser.newPage();
const pageUrl = pathToFileURL(pagePath).href;
const stray = [];
page.on("request", request => /^(data|about):/.test(request.url()) || request.url() === pageUrl || stray.push(request.url()));
page.on("dialog", dialog => { ok(false, `the page opened a ${dialog.type()} box`); dialog.dismiss(); });
page.on("pageerror", error => ok(false, `script error: ${error.message}`));

try {
  await page.goto(pageUrl);
  await page.waitForSelector("#Form1[data-ready]");
  const focused = () => page.evaluate(() => document.activeElement.id);
  const idNumber = () => page.inputValue("#Text2");

  same("title", `${caption} - ${version}`, await page.title());
  same("focus at start", "Text1", await focused());

  // Where each control stands, relative to the client area, in CSS pixels.
  const boxes = await page.evaluate(() => {
    const form = document.getElementById("Form1").getBoundingClientRect();
    return Object.fromEntries([form, ...document.querySelectorAll("#Form1 > *")].map(e => {
      const r = e.getBoundingClientRect ? e.getBoundingClientRect() : e;
      return [e.id ?? "Form1", { left: r.left - form.left, top: r.top - form.top, width: r.width, height: r.height,
        fits: !e.id || e.scrollWidth <= e.clientWidth, text: e.id && e.textContent }];
    }));
  });
  same("client area", [twips("kClientWidthTwips") / 15, twips("kClientHeightTwips") / 15],
    [boxes.Form1.width, boxes.Form1.height]);
  for (const c of controls) {
    const box = boxes[c.name];
    same(`${c.name} left, top, height`, [c.left, c.top, c.height].map(t => t / 15), [box.left, box.top, box.height]);
    if (c.kind !== "Label") { same(`${c.name} width`, c.width / 15, box.width); continue; }
    // A label widens into the room before the next control in its row, if it must.
    const next = Math.min(...controls.filter(o => o.left > c.left && o.top < c.top + c.height && c.top < o.top + o.height)
      .map(o => o.left), twips("kClientWidthTwips"));
    const room = Math.max(c.width, next - c.left) / 15;
    ok(box.width >= c.width / 15 && box.width <= room, `${c.name} is ${box.width} px wide, room ${room}`);
    ok(box.fits, `${c.name}'s text "${box.text}" fits its box`);
    same(`${c.name} text`, c.text, box.text);
  }
  const about = page.locator("#Label3");
  same("About's look and its name for a screen reader",
    ["rgb(0, 0, 255)", "underline", "link", "F1", null],
    await about.evaluate(e => [getComputedStyle(e).color, getComputedStyle(e).textDecorationLine, e.getAttribute("role"),
      e.getAttribute("aria-keyshortcuts"), e.getAttribute("tabindex")]));
  for (const c of controls.filter(c => c.kind === "TextBox")) {
    const label = controls.find(l => l.kind === "Label" && l.top === c.top && l.left < c.left);
    same(`the box "${label.text}" names`, c.name, await page.getByLabel(label.text).evaluate(e => e.id));
  }

  // The keys, from the start: Tab round the form and Shift+Tab back, Enter in the e-mail
  // box idle (the number typed by hand stays), the button's keys.
  for (const [key, expected] of [["Tab", "Command1"], ["Tab", "Text2"], ["Tab", "Text1"], ["Shift+Tab", "Text2"]]) {
    const from = await focused();
    await page.keyboard.press(key);
    same(`${key} from ${from}`, expected, await focused());
  }
  await page.fill("#Text1", "ABC");
  for (const [from, key, expected] of [["Text1", "Enter", "typed by hand"], ["Command1", "Space", "999494"],
                                       ["Command1", "Enter", "999494"]]) {
    await page.fill("#Text2", "typed by hand");
    await page.focus(`#${from}`);
    await page.keyboard.press(key);
    same(`${key} in ${from}`, expected, await idNumber());
  }

  // The credits: F1 and a click open them, Enter and Escape close them, focus goes back.
  const credits = page.locator("#Credits");
  for (const [from, open, close] of [["Command1", "F1", "Enter"], ["Text1", "click", "Escape"], ["Text2", "F1", "Escape"]]) {
    await page.focus(`#${from}`);
    await (open === "click" ? about.click() : page.keyboard.press(open));
    await credits.waitFor({ state: "visible" });
    same(`credits box (${open})`, [`${caption} - ${version}`,
      "This program has been made by Ulvane\nThe main code has been provided by Ombry", 1, "OK"],
      await credits.evaluate(d => [d.querySelector("h1").textContent, d.querySelector("#CreditsText").innerText,
        d.querySelectorAll("svg[aria-label=Information]").length, d.querySelector("button").textContent]));
    await page.keyboard.press("Tab");
    ok(await credits.evaluate(d => d.contains(document.activeElement)), "Tab stays in the credits box");
    await page.keyboard.press(close);
    await credits.waitFor({ state: "hidden" });
    same(`focus after ${close} closed the credits`, from, await focused());
  }

  // The known answers, typed and worked out one by one.
  const rows = readFileSync(new URL("tests/known_answers.tsv", root), "utf8").split("\n")
    .filter(line => line && !line.startsWith("#")).map(line => line.split("\t"));
  for (const [id, text, path, what] of rows) {
    await page.fill("#Text1", text);
    await page.click("#Command1");
    same(`${JSON.stringify(text)} (${path}: ${what})`, id, await idNumber());
    ran++;
  }

  // Generated texts against tarvik-id: every third one ASCII only and up to 120 long,
  // for the vector windows; the others mix in code page 1252 letters and signs, and
  // units outside it (letters of other scripts, a byte-order mark, a surrogate pair).
  const ascii = [..."abcXYZ09 .@_-+~!"];
  const pool = [...ascii, ..."ÀÉÜßéüÿŸŒœŠšŽž€‚ƒ„…†‡ˆ‰‹›‘’“”•–—˜™ ¡µ", ..."ŁłĀāΩωЖжあ中\uFEFF", "😀"];
  let seed = 21;
  const random = n => (seed = (seed * 1103515245 + 12345) % 2 ** 31) % n;
  const texts = Array.from({ length: 300 }, (_, i) => (i ? "" : "a") +
    Array.from({ length: random(i % 3 ? 40 : 120) }, () => (i % 3 ? pool : ascii)[random(i % 3 ? pool.length : ascii.length)]).join(""));
  const big = "John.Smith@Hotmail.com ÀÉ€ あ ".repeat(40000).slice(0, 1 << 20);
  const expected = execFileSync(tarvikId, { input: [...texts, big, "a?b"].join("\n") + "\n" }).toString().split("\n");
  // Last, an unpaired surrogate, which UTF-8 cannot carry to tarvik-id: it has no code
  // either, '?', as in the text after the 1 MiB one.
  const actual = await page.evaluate(texts => texts.map(text => {
    document.getElementById("Text1").value = text;
    document.getElementById("Command1").click();
    return document.getElementById("Text2").value;
  }), [...texts, "a\uD83Db"]);
  texts.forEach((text, i) => { same(`generated ${JSON.stringify(text)}`, expected[i], actual[i]); ran++; });
  same("a lone surrogate", expected[texts.length + 1], actual[texts.length]);

  // 1 MiB in the e-mail box, a real click, and the page's own measure of it.
  await page.locator("#Text1").evaluate((e, text) => { e.value = text; }, big);
  await page.click("#Command1");
  same("1 MiB of text", expected[texts.length], await idNumber());
  console.log(`1 MiB: ${(await page.evaluate(() => performance.getEntriesByName("Work out")[0].duration)).toFixed(1)} ms from the click to the number`);

  same("requests that left the page", [], stray);
} catch (error) {
  ok(false, error.message.split("\n")[0]);
} finally {
  await browser.close();
}
ok(ran > 0, "no row ran");
console.log(`${checks} checks, ${ran} texts worked out; ${failures ? `${failures} failed` : "all passed"}`);
process.exit(failures ? 1 : 0);
