-- params: Ordem_Servico_ID
-- The terminal of the distribution centre where the order's pickups are
-- gathered: where the pickup tracking says the cargo arrived. An order with
-- no collection centre answers no row.
CREATE PROCEDURE SP_VLM_CONS_TERMINAL_VAS_OS(IN p_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT t.FORNECEDOR_ID AS FORNECEDOR_ID
    FROM ORDEM_SERVICO_CD cd
    JOIN TERMINAL t ON t.FORNECEDOR_ID = cd.CENTRO_DISTRIBUICAO_ID
   WHERE cd.ORDEM_SERVICO_ID = p_Ordem_Servico_ID
     AND cd.INDIC_COLETA_ENTREGA = 'C'
   ORDER BY t.FORNECEDOR_ID
   LIMIT 1;
END
