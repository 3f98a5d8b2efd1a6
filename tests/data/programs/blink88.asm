; blink88.asm - LED blinker for the 16F87/88 and 16F818/819.
;
; An LED on RB0 blinks at a rate read from data EEPROM cell 0, on the
; internal 4 MHz oscillator. MCLR stays the reset pin: with the internal
; oscillator and MCLR as an input the chip could start running before the
; programmer's reset takes hold.
;
; Assembled with -D PROTECTED (see protection.inc) for the tests of
; protected chips.
;
; Build: see build.sh (one HEX file per chip).

#ifdef __16F87
        include <p16f87.inc>
#define TWO_CONFIG_WORDS
#endif
#ifdef __16F88
        include <p16f88.inc>
#define TWO_CONFIG_WORDS
#define HAS_ANSEL
#define HAS_ADC
#endif
#ifdef __16F818
        include <p16f818.inc>
#define HAS_ADC
#endif
#ifdef __16F819
        include <p16f819.inc>
#define HAS_ADC
#endif
        errorlevel -302         ; the bank selects below are deliberate
        include "protection.inc"
#define LED_PORT PORTB

#ifdef TWO_CONFIG_WORDS
        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_ON & _LVP_OFF & _WRT_PROTECT_OFF & _DEBUG_OFF & _CCP1_RB0 & PROTECTION
        __CONFIG _CONFIG2, _FCMEN_OFF & _IESO_OFF
#else
        __CONFIG _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_ON & _LVP_OFF & _WRT_ENABLE_OFF & _DEBUG_OFF & _CCP1_RB2 & PROTECTION
#endif
#ifdef PROTECTED
        __IDLOCS h'1234'
#else
        __IDLOCS h'0880'
#endif

        include "vectors.inc"

start:
        banksel OSCCON
        movlw   b'01100000'     ; internal oscillator at 4 MHz
        movwf   OSCCON
#ifdef HAS_ANSEL
        clrf    ANSEL
#endif
#ifdef HAS_ADC
        movlw   0x06            ; port A digital
        movwf   ADCON1
#endif
        bcf     TRISB, 0
        include "eeprom_delay.inc"

        include "blink_loop.inc"

        org     0x2100
        de      d'20', "F88"

        end
